// TFileOperation: one copy, move, delete or rename of files through the shell-style file
// operation, with its questions and progress in Qt dialogs or in a caller's interaction.
#pragma once
#include "fs/file_operation_dialogs.h"

#include <QFlags>
#include <QObject>
#include <QStringList>
#include <memory>

enum TFileOp { foCopy, foDelete, foMove, foRename };

enum TFileOpFlag : quint16 {
    fofAllowUndo = 0x0001,
    fofConfirmMouse = 0x0002,
    fofFilesOnly = 0x0004,
    fofMultiDestFiles = 0x0008,
    fofNoConfirmation = 0x0010,
    fofNoConfirmMkDir = 0x0020,
    fofRenameOnCollision = 0x0040,
    fofSilent = 0x0080,
    fofSimpleProgress = 0x0100,
};
Q_DECLARE_FLAGS(TFileOpFlags, TFileOpFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TFileOpFlags)

class TFileOperation : public QObject {
    Q_OBJECT
public:
    explicit TFileOperation(QObject* owner = nullptr);
    ~TFileOperation() override;

    QStringList About() const;
    void setAbout(const QStringList&) {}
    // Always false; setting it true runs the operation at once.
    bool Active() const { return false; }
    void setActive(bool value);
    // Names separated by ";" (a name holding ";" cannot be given this way: use the lists).
    QString FilesFrom() const { return m_from.join(QLatin1Char(';')); }
    void setFilesFrom(const QString& value) { m_from = splitNames(value); }
    QString FilesTo() const { return m_to.join(QLatin1Char(';')); }
    void setFilesTo(const QString& value) { m_to = splitNames(value); }
    // The same as lists: each entry is one whole absolute name, whatever characters it holds.
    QStringList SourceList() const { return m_from; }
    void setSourceList(const QStringList& paths) { m_from = paths; }
    QStringList DestinationList() const { return m_to; }
    void setDestinationList(const QStringList& paths) { m_to = paths; }
    TFileOpFlags Flags() const { return m_flags; }
    void setFlags(TFileOpFlags value) { m_flags = value; }
    TFileOp Operation() const { return m_operation; }
    void setOperation(TFileOp value) { m_operation = value; }
    // Whether the user cancelled or skipped part of the last run.
    bool OperationAborted() const { return m_operationAborted; }
    void setOperationAborted(bool) {}
    QString ProgressTitle() const { return m_progressTitle; }
    void setProgressTitle(const QString& value) { m_progressTitle = value; }

    // Runs the operation; true when it succeeded. Its dialogs let other handlers run meanwhile:
    // an Execute reached from one of them is refused (false) and changes nothing.
    bool Execute();
    bool Running() const { return m_running; }

    // Language of the component's own dialogs.
    void setLanguage(FileOpLanguage language);
    // Who answers instead of the dialogs (a script in tests); not owned, nullptr for the dialogs.
    void setInteraction(qv::ShellFileInteraction* interaction) { m_interaction = interaction; }

    // The list the shell takes: the names, two zero characters, then every ";" a zero.
    static QString zeroList(const QString& names);
    static QString zeroList(const QStringList& names);
    static quint16 shellFlags(TFileOpFlags flags);
    static unsigned shellFunction(TFileOp operation);

private:
    static QStringList splitNames(const QString& names);

    QStringList m_from;
    QStringList m_to;
    TFileOpFlags m_flags = TFileOpFlags(fofAllowUndo) | fofFilesOnly;
    TFileOp m_operation = foMove;
    bool m_operationAborted = false;
    bool m_running = false;
    QString m_progressTitle;
    std::unique_ptr<FileOperationDialogs> m_dialogs;
    qv::ShellFileInteraction* m_interaction = nullptr;
};
