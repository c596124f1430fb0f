// TFileOperation fills the shell-style operation's structure from its properties.
#include "fs/file_operation.h"

#include <QWidget>

TFileOperation::TFileOperation(QObject* owner)
    : QObject(owner)
    , m_dialogs(std::make_unique<FileOperationDialogs>())
{
}

TFileOperation::~TFileOperation() = default;

QStringList TFileOperation::About() const
{
    return {QStringLiteral("TFileOperation 1.0"),
            QStringLiteral("Copies, moves, deletes and renames files the way the desktop's file manager does,"),
            QStringLiteral("with its questions, its progress and its trash.")};
}

void TFileOperation::setActive(bool value)
{
    if (value)
        Execute();
}

void TFileOperation::setLanguage(FileOpLanguage language)
{
    m_dialogs->setLanguage(language);
}

QString TFileOperation::zeroList(const QString& names)
{
    QString list = names + QString(2, QChar(0));
    list.replace(QLatin1Char(';'), QChar(0));
    return list;
}

QString TFileOperation::zeroList(const QStringList& names)
{
    // An empty entry would end the list early, so it is left out.
    QString list;
    for (const QString& name : names) {
        if (!name.isEmpty())
            list += name + QChar(0);
    }
    return list + QChar(0) + (list.isEmpty() ? QString(QChar(0)) : QString());
}

QStringList TFileOperation::splitNames(const QString& names)
{
    // Up to the first empty name, as the shell reads a zero list.
    QStringList list;
    for (const QString& name : names.split(QLatin1Char(';'))) {
        if (name.isEmpty())
            break;
        list.append(name);
    }
    return list;
}

quint16 TFileOperation::shellFlags(TFileOpFlags flags)
{
    static constexpr struct {
        TFileOpFlag flag;
        quint16 shell;
    } table[] = {
        {fofAllowUndo, qv::kFofAllowUndo},
        {fofConfirmMouse, qv::kFofConfirmMouse},
        {fofFilesOnly, qv::kFofFilesOnly},
        {fofMultiDestFiles, qv::kFofMultiDestFiles},
        {fofNoConfirmation, qv::kFofNoConfirmation},
        {fofNoConfirmMkDir, qv::kFofNoConfirmMkDir},
        {fofRenameOnCollision, qv::kFofRenameOnCollision},
        {fofSilent, qv::kFofSilent},
        {fofSimpleProgress, qv::kFofSimpleProgress},
    };
    quint16 result = 0;
    for (const auto& row : table) {
        if (flags.testFlag(row.flag))
            result |= row.shell;
    }
    return result;
}

unsigned TFileOperation::shellFunction(TFileOp operation)
{
    switch (operation) {
    case foCopy: return qv::kFoCopy;
    case foDelete: return qv::kFoDelete;
    case foMove: return qv::kFoMove;
    case foRename: return qv::kFoRename;
    }
    return 0;
}

bool TFileOperation::Execute()
{
    if (m_running)
        return false;
    m_running = true;
    struct Done {
        bool& running;
        ~Done() { running = false; }
    } done{m_running};
    qv::ShellFileOp op;
    // The owner's window when the owner is a widget, else none (the dialogs stand alone).
    if (auto* widget = qobject_cast<QWidget*>(parent()))
        op.window = widget->window();
    op.function = shellFunction(m_operation);
    op.from = zeroList(m_from);
    op.to = zeroList(m_to);
    op.flags = shellFlags(m_flags);
    op.progressTitle = m_progressTitle;
    const int result = qv::shellFileOperation(op, m_interaction ? m_interaction : m_dialogs.get());
    m_operationAborted = op.anyOperationsAborted;
    return result == 0;
}
