// Path shortening with a fixed-width measure (every character 1 pixel wide).
#include "ui/file_label.h"

#include <gtest/gtest.h>

namespace {
int mono(const QString& s) { return int(s.size()); }
QString shorten(const QString& path, int width, TDirection d = drFromLeft, const QString& sep = "\\")
{
    return filelabel::shortenPath(path, sep, d, width, mono);
}
} // namespace

TEST(FileLabelCaption, ShortensByFoldersFromEitherSide)
{
    const QString p = "C:\\FOTO\\MARE\\A.JPG"; // 18 characters
    const QString far = "C:\\A\\VERYLONGFOLDER\\B\\X.JPG";
    const QString unc = "\\\\server\\share\\pics\\x.jpg"; // parts "", "", "server", ...
    const struct {
        QString path;
        int width;
        TDirection direction;
        const char* expected;
    } cases[] = {
        {p, 18, drFromLeft, "C:\\FOTO\\MARE\\A.JPG"}, // exactly fits: whole
        {"", 0, drFromLeft, ""},
        {p, 9, drFromLeft, "A.JPG"}, // "...\" + "A.JPG" = 9 >= width: the file name alone
        {"C:\\X\\VERYLONGNAME.JPG", 10, drFromLeft, "VERYLONGNAME.JPG"},
        {p, 12, drFromLeft, "...\\A.JPG"},          // the drive does not fit beside it
        {p, 17, drFromLeft, "C:\\...\\MARE\\A.JPG"}, // "MARE\" fits exactly
        {p, 16, drFromLeft, "C:\\...\\A.JPG"},
        {far, 16, drFromRight, "C:\\A\\...\\X.JPG"}, // the long folder ends the walk though B\ would fit
        {far, 16, drFromLeft, "C:\\...\\B\\X.JPG"},
        {unc, 14, drFromLeft, "...\\pics\\x.jpg"},
        {unc, 14, drFromRight, "\\\\...\\x.jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shorten(c.path, c.width, c.direction), c.expected) << c.path.toStdString() << " " << c.width;
}

TEST(FileLabelWidget, RecomputesOnResizeAndPropertyChanges)
{
    TFileLabel label;
    label.resize(120, 20);
    label.setFileName("/home/user/pictures/holidays/summer/beach.jpg");
    const QString narrow = label.caption();
    EXPECT_TRUE(narrow.contains("..."));
    label.resize(2000, 20);
    EXPECT_EQ(label.caption(), label.FileName()); // wider label: whole path, no new FileName
    label.resize(120, 20);
    EXPECT_EQ(label.caption(), narrow);
    label.setSeparator("\\"); // no backslash: one part, shown alone
    EXPECT_EQ(label.caption(), label.FileName());
}
