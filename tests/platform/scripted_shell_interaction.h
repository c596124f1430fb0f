// A file-operation interaction for tests: answers from a script, records what it was asked.
#pragma once
#include "platform/shell_file_operation.h"

#include <QList>
#include <QStringList>
#include <deque>
#include <functional>
#include <ostream>

// Readable names in test failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

class ScriptedShellInteraction : public qv::ShellFileInteraction {
public:
    // Script.
    bool deleteAnswer = true;
    bool makeDirAnswer = true;
    std::deque<qv::ShellAnswer> replaceAnswers; // Cancel once it runs dry
    bool goOnAfterError = true;
    int cancelAtItem = -1; // progress answers "cancel" when it reaches this item
    std::function<void(const qv::ShellProgress&)> onProgress;

    // Record.
    int begins = 0;
    int ends = 0;
    QStringList deleteQuestions;
    QStringList makeDirQuestions;
    QStringList replaceQuestions; // the existing paths asked about
    QList<qv::ShellProblem> problems;
    QStringList problemPaths;
    QList<qv::ShellProgress> progressCalls;

    void begin(QObject*, unsigned, const QString&, bool, bool) override { ++begins; }
    void end() override { ++ends; }
    bool confirmDelete(const QStringList& paths, bool) override
    {
        deleteQuestions += paths;
        return deleteAnswer;
    }
    bool confirmMakeDir(const QString& folder) override
    {
        makeDirQuestions.append(folder);
        return makeDirAnswer;
    }
    qv::ShellAnswer askReplace(const QString&, const QString& existing, bool, bool) override
    {
        replaceQuestions.append(existing);
        if (replaceAnswers.empty())
            return qv::ShellAnswer::Cancel;
        const qv::ShellAnswer a = replaceAnswers.front();
        replaceAnswers.pop_front();
        return a;
    }
    bool reportError(const QString& path, qv::ShellProblem problem, const QString&, bool) override
    {
        problems.append(problem);
        problemPaths.append(path);
        return goOnAfterError;
    }
    bool progress(const qv::ShellProgress& p) override
    {
        progressCalls.append(p);
        if (onProgress)
            onProgress(p);
        return p.item != cancelAtItem;
    }
};
