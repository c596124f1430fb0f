// The application object: its notify override is the last stop for errors
// that no command caught.
#pragma once
#include <QApplication>
#include <functional>

class QuorvelApplication : public QApplication {
public:
    QuorvelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the application-wide error message for `error` and returns; the
// program goes on. The message box can be replaced (tests answer it by script).
void handleUncaughtError(const QString& error);
using ErrorPresenter = std::function<void(const QString& title, const QString& text)>;
void setErrorPresenter(ErrorPresenter presenter);

// Runs `command`, sending any error it throws to the application-wide handler.
void runGuarded(const std::function<void()>& command);
