// The compressor's panel: a raised frame, kept invisible unless its owner shows
// it, whose caption serves as the codec's status line while it is shown. The
// codec reaches it through the two handlers it is given.
#pragma once
#include <QFrame>
#include <functional>

class Lzrw1StatusPanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)

public:
    explicit Lzrw1StatusPanel(QWidget* parent = nullptr);

    QString Caption() const { return m_caption; }
    void setCaption(const QString& text);

    // For the codec's status handler: while the panel is shown, each text
    // becomes its caption and is painted at once; hidden, it is ignored.
    std::function<void(const QString&)> statusHandler();
    // For the codec's idle handler: the work runs on the user-interface
    // thread, so pending events run after every read and write.
    static std::function<void()> idleHandler();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_caption;
};
