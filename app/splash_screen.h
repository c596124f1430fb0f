// The splash window shown while the windows are created.
#pragma once
#include <QTimer>
#include <QWidget>

class TfrmSplashScreen : public QWidget {
    Q_OBJECT
public:
    explicit TfrmSplashScreen(QWidget* parent = nullptr);
    // The window may close only after its timer has fired.
    bool timerFired() const { return !m_timer.isActive(); }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QTimer m_timer;
};
