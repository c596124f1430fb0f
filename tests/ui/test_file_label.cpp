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

TEST(FileLabelCaption, FitsWholeOrFileNameAlone)
{
    const QString p = "C:\\FOTO\\MARE\\A.JPG"; // 18 characters
    EXPECT_EQ(shorten(p, 18), p);              // exactly fits: whole
    EXPECT_EQ(shorten("", 0), "");
    // "...\" (4) + "A.JPG" (5) = 9 >= width: the file name alone.
    EXPECT_EQ(shorten(p, 9), "A.JPG");
    EXPECT_EQ(shorten("C:\\X\\VERYLONGNAME.JPG", 10), "VERYLONGNAME.JPG");
    // Drive does not fit beside "...\A.JPG": equality fails too.
    EXPECT_EQ(shorten(p, 12), "...\\A.JPG");
}

TEST(FileLabelCaption, FromLeftKeepsTrailingFolders)
{
    const QString p = "C:\\FOTO\\MARE\\A.JPG";
    // used = 4 + 5 + 3 ("C:\") = 12; "MARE\" (5) fits exactly at 17.
    EXPECT_EQ(shorten(p, 17), "C:\\...\\MARE\\A.JPG");
    EXPECT_EQ(shorten(p, 16), "C:\\...\\A.JPG");
}

TEST(FileLabelCaption, FromRightStopsAtFirstFolderThatDoesNotFit)
{
    const QString p = "C:\\A\\VERYLONGFOLDER\\B\\X.JPG";
    // C:\A\...\X.JPG is 14 wide; the long folder ends the walk even though B\ would fit.
    EXPECT_EQ(shorten(p, 16, drFromRight), "C:\\A\\...\\X.JPG");
    EXPECT_EQ(shorten(p, 16, drFromLeft), "C:\\...\\B\\X.JPG");
}

TEST(FileLabelCaption, PathWithoutDriveWalksEmptyLeadingParts)
{
    // "\\server\share\pics\x.jpg": parts "", "", "server", "share", "pics", "x.jpg".
    const QString p = "\\\\server\\share\\pics\\x.jpg";
    EXPECT_EQ(shorten(p, 14), "...\\pics\\x.jpg");
    EXPECT_EQ(shorten(p, 14, drFromRight), "\\\\...\\x.jpg");
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
