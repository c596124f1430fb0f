// A label that shows a file path shortened to its own width, replacing
// folders by "..." while keeping the file name (and the drive, if any).
#pragma once
#include <QLabel>
#include <QStringList>
#include <functional>

enum TDirection { drFromLeft = 0, drFromRight = 1 };

namespace filelabel {

// Splits a path at every occurrence of the separator; an empty path gives one
// empty part, a trailing separator an empty last part.
QStringList splitPath(const QString& fileName, const QString& separator);

// True when the first part is a drive such as "C:".
bool hasDrive(const QStringList& parts);

// The shortened text for a width, with `measure` giving a text's width in pixels.
QString shortenPath(const QString& fileName, const QString& separator, TDirection direction,
                    int width, const std::function<int(const QString&)>& measure);

} // namespace filelabel

class TFileLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString FileName READ FileName WRITE setFileName)
    Q_PROPERTY(QString Separator READ Separator WRITE setSeparator)
    Q_PROPERTY(int Direction READ directionValue WRITE setDirectionValue)
public:
    explicit TFileLabel(QWidget* parent = nullptr);

    QString FileName() const { return m_fileName; }
    void setFileName(const QString& name);
    QString Separator() const { return m_separator; }
    void setSeparator(const QString& sep);
    TDirection Direction() const { return m_direction; }
    void setDirection(TDirection d);

    // The shortened text (the caption). A hidden label gets no resize events,
    // so the caption is brought up to date with the width when asked for.
    QString caption();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    int directionValue() const { return int(m_direction); }
    void setDirectionValue(int d) { setDirection(d == 1 ? drFromRight : drFromLeft); }
    void updateCaption();

    QString m_fileName;
    QString m_separator = QStringLiteral("/");
    TDirection m_direction = drFromLeft;
    int m_captionWidth = -1;
};
