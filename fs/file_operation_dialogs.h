// The confirmations, collision questions, error messages and progress of file operations
// as Qt dialogs, in Italian or English.
#pragma once
#include "platform/shell_file_operation.h"

#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

enum class FileOpLanguage { Italian, English };

class FileOperationDialogs : public qv::ShellFileInteraction {
public:
    explicit FileOperationDialogs(FileOpLanguage language = FileOpLanguage::English);
    ~FileOperationDialogs() override;

    FileOpLanguage language() const { return m_language; }
    void setLanguage(FileOpLanguage language) { m_language = language; }

    void begin(QObject* window, unsigned function, const QString& progressTitle, bool showProgress,
               bool simpleProgress) override;
    void end() override;
    bool confirmDelete(const QStringList& paths, bool toTrash) override;
    bool confirmMakeDir(const QString& folder) override;
    qv::ShellAnswer askReplace(const QString& source, const QString& existing, bool folders,
                               bool moreToCome) override;
    bool reportError(const QString& path, qv::ShellProblem problem, const QString& detail,
                     bool moreToCome) override;
    bool progress(const qv::ShellProgress& progress) override;

private:
    QString tr2(const char* italian, const char* english) const;
    QString describe(const QString& path) const;
    QWidget* questionOwner();

    FileOpLanguage m_language;
    QPointer<QWidget> m_parent;
    QPointer<QProgressDialog> m_progress;
    unsigned m_function = 0;
    QString m_title;
    bool m_showProgress = false;
    bool m_simple = false;
};
