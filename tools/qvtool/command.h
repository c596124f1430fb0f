// qvtool subcommands: each source file registers its own with a static
// QvtoolCommand object, so adding a command touches no shared file.
#pragma once
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

struct QvtoolCommand {
    using Run = std::function<int(const QStringList& args)>;
    QvtoolCommand(const char* name, const char* summary, const char* usage, Run run);

    const char* name;
    const char* summary; // one line for the overview
    const char* usage;   // full text for "qvtool NAME --help"
    Run run;             // returns the exit status
};

const std::vector<const QvtoolCommand*>& qvtoolCommands();

// Helpers every command uses for its output.
void qvOut(const QString& text);  // a line to standard output
void qvErr(const QString& text);  // a line to standard error, prefixed "qvtool: "

// Exit statuses shared by the commands.
enum QvExit { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };
