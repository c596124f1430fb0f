// qvtool: Quorvel's formats, codec and cache for terminals and scripts.
#include "command.h"

#include "platform/settings.h"

#include <QGuiApplication>
#include <cstdio>

#ifndef QV_VERSION
#define QV_VERSION "0"
#endif

static std::vector<const QvtoolCommand*>& registry()
{
    static std::vector<const QvtoolCommand*> commands;
    return commands;
}

QvtoolCommand::QvtoolCommand(const char* n, const char* s, const char* u, Run r)
    : name(n), summary(s), usage(u), run(std::move(r))
{
    registry().push_back(this);
}

const std::vector<const QvtoolCommand*>& qvtoolCommands() { return registry(); }

void qvOut(const QString& text)
{
    const QByteArray b = text.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
    std::fputc('\n', stdout);
}

void qvErr(const QString& text)
{
    const QByteArray b = ("qvtool: " + text).toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fputc('\n', stderr);
}

static void printHelp()
{
    qvOut("usage: qvtool COMMAND [ARGS...]");
    qvOut("       qvtool COMMAND --help");
    qvOut("       qvtool --version");
    qvOut("");
    qvOut("Quorvel's picture formats, compression codec and thumbnail cache from the command line.");
    qvOut("");
    qvOut("commands:");
    auto cmds = qvtoolCommands();
    std::sort(cmds.begin(), cmds.end(), [](auto a, auto b) { return qstrcmp(a->name, b->name) < 0; });
    for (const QvtoolCommand* c : cmds)
        qvOut(QString("  %1%2").arg(QString::fromUtf8(c->name), -12).arg(QString::fromUtf8(c->summary)));
    if (cmds.empty())
        qvOut("  (none)");
}

// Qt's notes about the environment (no runtime folder on a server, and the
// like) are not the tool's output; real warnings still go to standard error.
static void quietMessages(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type == QtDebugMsg || type == QtInfoMsg || msg.startsWith(QLatin1String("QStandardPaths:")))
        return;
    const QByteArray b = msg.toUtf8();
    std::fprintf(stderr, "%s\n", b.constData());
}

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietMessages);
    // A GUI application object without a display: fonts and image plugins work,
    // no window is ever shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    if (args.isEmpty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printHelp();
        return args.isEmpty() ? ExitUsage : ExitOk;
    }
    if (args[0] == "--version") {
        qvOut(QStringLiteral("qvtool (Quorvel) " QV_VERSION));
        return ExitOk;
    }
    // The user's settings (JPEG options and the like), as the window has them.
    LeggiConfigurazione();
    const QString name = args.takeFirst();
    for (const QvtoolCommand* c : qvtoolCommands()) {
        if (name == QLatin1String(c->name)) {
            if (args.contains("--help") || args.contains("-h")) {
                qvOut(QString::fromUtf8(c->usage));
                return ExitOk;
            }
            try {
                return c->run(args);
            } catch (const std::exception& e) {
                qvErr(QString::fromUtf8(e.what()));
                return ExitFailure;
            }
        }
    }
    qvErr(QString("unknown command '%1' (see qvtool --help)").arg(name));
    return ExitUsage;
}
