// Application-wide error handling.
#include "app/application.h"

#include "platform/interface_language.h"
#include "platform/settings.h"
#include "app/texts.h"
#include "platform/errors.h"

#include <QMessageBox>

namespace {

ErrorPresenter& presenter()
{
    static ErrorPresenter p = [](const QString& title, const QString& text) {
        QMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    };
    return p;
}

QString describe(const std::exception& e)
{
    if (auto* q = dynamic_cast<const QvError*>(&e))
        return q->message();
    return QString::fromUtf8(e.what());
}

} // namespace

QuorvelApplication::QuorvelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool QuorvelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        handleUncaughtError(describe(e));
    } catch (...) {
        handleUncaughtError(QStringLiteral("unknown error"));
    }
    return false;
}

void handleUncaughtError(const QString& error)
{
    QString text = uncaughtErrorMessage(error, italianInterface(LanguageTest::Exact));
    text.replace('\r', '\n');
    presenter()(QStringLiteral("Quorvel"), text);
}

void setErrorPresenter(ErrorPresenter p) { presenter() = std::move(p); }

void runGuarded(const std::function<void()>& command)
{
    try {
        command();
    } catch (const std::exception& e) {
        handleUncaughtError(describe(e));
    } catch (...) {
        handleUncaughtError(QStringLiteral("unknown error"));
    }
}
