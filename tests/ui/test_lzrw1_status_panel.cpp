// The compressor's status panel shows the codec's texts only while it is shown.
#include "ui/lzrw1_status_panel.h"

#include <QWidget>
#include <gtest/gtest.h>

TEST(Lzrw1StatusPanel, CaptionFollowsTheStatusOnlyWhileShown)
{
    QWidget window;
    auto* panel = new Lzrw1StatusPanel(&window);
    window.show();
    const auto status = panel->statusHandler();
    status("Lzrw1 : 65536 bytes read");
    EXPECT_EQ(panel->Caption(), QString()); // a new panel stays hidden

    panel->show();
    status("Lzrw1 : inputstream successfully compressed at 12%");
    EXPECT_EQ(panel->Caption(), "Lzrw1 : inputstream successfully compressed at 12%");

    delete panel;
    status("after the panel"); // the codec may outlive it
}
