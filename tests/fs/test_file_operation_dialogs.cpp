// The file-operation dialogs in both languages: buttons mapped to answers, what the questions
// name, and the progress dialog's cancel.
#include "fs/file_operation_dialogs.h"
#include "support/testutil.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

TEST(FileOperationDialogs, ReplaceQuestionMapsEveryButton)
{
    FileOperationDialogs dialogs(FileOpLanguage::Italian);
    dialogs.begin(nullptr, qv::kFoCopy, QString(), true, false);
    const struct {
        const char* button;
        qv::ShellAnswer answer;
        bool moreToCome;
    } rows[] = {
        {"&Sì", qv::ShellAnswer::Yes, true},          {"Sì a &tutti", qv::ShellAnswer::YesToAll, true},
        {"&No", qv::ShellAnswer::No, true},           {"N&o a tutti", qv::ShellAnswer::NoToAll, true},
        {"Annulla", qv::ShellAnswer::Cancel, true},   {"&No", qv::ShellAnswer::No, false},
    };
    for (const auto& row : rows) {
        qvtest::MessageBoxSeen seen;
        qvtest::answerNextMessageBox(QString::fromUtf8(row.button), &seen);
        EXPECT_EQ(dialogs.askReplace("/x/a.jpg", "/x/b.jpg", false, row.moreToCome), row.answer) << row.button;
        EXPECT_TRUE(seen.text.contains("\"b.jpg\""));
        EXPECT_EQ(seen.buttons.size(), row.moreToCome ? 5 : 3); // the last item offers no "to all"
    }
    dialogs.end();
}

TEST(FileOperationDialogs, DeleteConfirmationCountsAndErrorsStop)
{
    FileOperationDialogs dialogs(FileOpLanguage::English);
    dialogs.begin(nullptr, qv::kFoDelete, QString(), true, false);
    qvtest::MessageBoxSeen seen;
    qvtest::answerNextMessageBox("&No", &seen);
    EXPECT_FALSE(dialogs.confirmDelete({"/x/a.jpg", "/x/b.jpg"}, true));
    EXPECT_EQ(seen.text, "Are you sure you want to move these 2 items to the Trash?");
    qvtest::answerNextMessageBox("&Yes", &seen);
    EXPECT_TRUE(dialogs.confirmDelete({"/x/a.jpg"}, false));
    EXPECT_EQ(seen.text, "Are you sure you want to delete \"a.jpg\" permanently?");
    qvtest::answerNextMessageBox("Cancel", &seen);
    EXPECT_FALSE(dialogs.reportError("/x/a.jpg", qv::ShellProblem::NotTrashed, QString(), true));
    dialogs.end();
}

TEST(FileOperationDialogs, ProgressCancelIsReported)
{
    FileOperationDialogs dialogs(FileOpLanguage::Italian);
    dialogs.begin(nullptr, qv::kFoCopy, "Titolo", true, true);
    qv::ShellProgress p;
    p.itemCount = 3;
    EXPECT_TRUE(dialogs.progress(p));
    QProgressDialog* shown = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* pd = qobject_cast<QProgressDialog*>(w))
            shown = pd;
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->labelText().startsWith("Titolo\n1 di 3"));
    shown->cancel();
    p.item = 1;
    EXPECT_FALSE(dialogs.progress(p));
    dialogs.end();

    // Silent operations show nothing and cannot be cancelled.
    dialogs.begin(nullptr, qv::kFoCopy, QString(), false, false);
    EXPECT_TRUE(dialogs.progress(p));
    dialogs.end();
}

TEST(FileOperationDialogs, AQuestionAskedWhileTheProgressShowsCanBeAnswered)
{
    QWidget window; // the window the operation belongs to
    window.show();
    FileOperationDialogs dialogs(FileOpLanguage::English);
    dialogs.begin(&window, qv::kFoCopy, "Copying...", true, false);
    qv::ShellProgress p;
    p.itemCount = 1;
    p.from = "/x/a.jpg";
    p.to = "/x/b.jpg";
    ASSERT_TRUE(dialogs.progress(p)); // the progress window shows itself a moment later
    QTimer::singleShot(900, [] {
        QMessageBox* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* b = qobject_cast<QMessageBox*>(w); b && b->isVisible())
                box = b;
        ASSERT_NE(box, nullptr);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<QProgressDialog*>(w)) {
                EXPECT_TRUE(w->isVisible());
            }
        // A click as the window system delivers it: a window blocked by another
        // modal one never sees it.
        for (QAbstractButton* b : box->buttons())
            if (b->text() == "&No")
                QTest::mouseClick(box->windowHandle(), Qt::LeftButton, {}, b->mapTo(box, b->rect().center()));
        QTimer::singleShot(300, box, [box] { box->done(0); }); // ends the test if the click was lost
    });
    EXPECT_EQ(dialogs.askReplace("/x/a.jpg", "/x/b.jpg", false, false), qv::ShellAnswer::No);
    dialogs.end();
}
