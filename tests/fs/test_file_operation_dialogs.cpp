// The file-operation dialogs in both languages: texts shown, buttons mapped to answers,
// and the progress dialog's cancel.
#include "fs/file_operation_dialogs.h"
#include "support/testutil.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

} // namespace

TEST(FileOperationDialogs, ItalianReplaceQuestionMapsEveryButton)
{
    QTemporaryDir tmp;
    qvtest::writeFile(tmp.filePath("a.jpg"), "new");
    qvtest::writeFile(tmp.filePath("b.jpg"), "old");
    FileOperationDialogs dialogs(FileOpLanguage::Italian);
    dialogs.begin(nullptr, qv::kFoCopy, QString(), true, false);
    const struct {
        const char* button;
        qv::ShellAnswer answer;
    } rows[] = {
        {"&Sì", qv::ShellAnswer::Yes},          {"Sì a &tutti", qv::ShellAnswer::YesToAll},
        {"&No", qv::ShellAnswer::No},           {"N&o a tutti", qv::ShellAnswer::NoToAll},
        {"Annulla", qv::ShellAnswer::Cancel},
    };
    for (const auto& row : rows) {
        qvtest::MessageBoxSeen seen;
        qvtest::answerNextMessageBox(QString::fromUtf8(row.button), &seen);
        EXPECT_EQ(dialogs.askReplace(tmp.filePath("a.jpg"), tmp.filePath("b.jpg"), false, true), row.answer)
            << row.button;
        EXPECT_EQ(seen.title, QString::fromUtf8("Conferma sostituzione file"));
        EXPECT_TRUE(seen.text.contains("\"b.jpg\""));
        EXPECT_EQ(seen.buttons.size(), 5);
    }
    // The last item offers no "to all" answers.
    qvtest::MessageBoxSeen seen;
    qvtest::answerNextMessageBox("&No", &seen);
    EXPECT_EQ(dialogs.askReplace(tmp.filePath("a.jpg"), tmp.filePath("b.jpg"), false, false), qv::ShellAnswer::No);
    EXPECT_EQ(seen.buttons.size(), 3);
    dialogs.end();
}

TEST(FileOperationDialogs, EnglishDeleteConfirmationAndErrors)
{
    FileOperationDialogs dialogs(FileOpLanguage::English);
    dialogs.begin(nullptr, qv::kFoDelete, QString(), true, false);
    qvtest::MessageBoxSeen seen;
    qvtest::answerNextMessageBox("&No", &seen);
    EXPECT_FALSE(dialogs.confirmDelete({"/x/a.jpg", "/x/b.jpg"}, true));
    EXPECT_EQ(seen.title, "Confirm Multiple File Delete");
    EXPECT_EQ(seen.text, "Are you sure you want to move these 2 items to the Trash?");

    qvtest::MessageBoxSeen one;
    qvtest::answerNextMessageBox("&Yes", &one);
    EXPECT_TRUE(dialogs.confirmDelete({"/x/a.jpg"}, false));
    EXPECT_EQ(one.text, "Are you sure you want to delete \"a.jpg\" permanently?");

    qvtest::MessageBoxSeen error;
    qvtest::answerNextMessageBox("Cancel", &error);
    EXPECT_FALSE(dialogs.reportError("/x/a.jpg", qv::ShellProblem::NotTrashed, QString(), true));
    EXPECT_EQ(error.title, "Error Deleting File");
    EXPECT_TRUE(error.text.contains("left in place"));
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
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* pd = qobject_cast<QProgressDialog*>(w))
            shown = pd;
    }
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
    QTemporaryDir tmp;
    qvtest::writeFile(tmp.filePath("a.jpg"), "new");
    qvtest::writeFile(tmp.filePath("b.jpg"), "old");
    QWidget window; // the window the operation belongs to
    window.show();
    FileOperationDialogs dialogs(FileOpLanguage::English);
    dialogs.begin(&window, qv::kFoCopy, "Copying...", true, false);
    qv::ShellProgress p;
    p.itemCount = 1;
    p.from = tmp.filePath("a.jpg");
    p.to = tmp.filePath("b.jpg");
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
    EXPECT_EQ(dialogs.askReplace(tmp.filePath("a.jpg"), tmp.filePath("b.jpg"), false, false), qv::ShellAnswer::No);
    dialogs.end();
}
