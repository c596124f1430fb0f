// Path shortening: the splitting and caption rules, and the label around them.
#include "ui/file_label.h"

#include <QFontMetrics>
#include <QResizeEvent>

namespace filelabel {

QStringList splitPath(const QString& fileName, const QString& separator)
{
    QStringList parts;
    if (separator.isEmpty())
        return {fileName};
    QString rest = fileName;
    for (;;) {
        const qsizetype p = rest.indexOf(separator);
        if (p < 0) {
            parts.append(rest);
            break;
        }
        parts.append(rest.left(p));
        rest = rest.mid(p + separator.size());
    }
    return parts;
}

bool hasDrive(const QStringList& parts)
{
    return !parts.isEmpty() && parts.first().size() > 1 && parts.first().endsWith(':');
}

QString shortenPath(const QString& fileName, const QString& separator, TDirection direction,
                    int width, const std::function<int(const QString&)>& measure)
{
    if (fileName.isEmpty() || measure(fileName) <= width)
        return fileName;
    const QStringList parts = splitPath(fileName, separator);
    const QString ellipsis = QStringLiteral("...") + separator;
    const QString last = parts.last();
    if (measure(ellipsis) + measure(last) >= width)
        return last;
    int used = measure(ellipsis) + measure(last);
    QString drive;
    qsizetype first = 0;
    if (hasDrive(parts)) {
        drive = parts.first() + separator;
        first = 1;
    }
    if (measure(drive) + used >= width)
        return ellipsis + last;
    used += measure(drive);
    const qsizetype lastFolder = parts.size() - 2;
    QString acc;
    if (direction == drFromRight) {
        for (qsizetype i = first; i <= lastFolder; ++i) {
            const QString candidate = acc + parts[i] + separator;
            if (measure(candidate) + used > width)
                break;
            acc = candidate;
        }
        return drive + acc + ellipsis + last;
    }
    for (qsizetype i = lastFolder; i >= first; --i) {
        const QString candidate = parts[i] + separator + acc;
        if (measure(candidate) + used > width)
            break;
        acc = candidate;
    }
    return drive + ellipsis + acc + last;
}

} // namespace filelabel

TFileLabel::TFileLabel(QWidget* parent) : QLabel(parent)
{
    setWordWrap(false);
}

void TFileLabel::setFileName(const QString& name)
{
    if (name == m_fileName)
        return;
    m_fileName = name;
    updateCaption();
}

void TFileLabel::setSeparator(const QString& sep)
{
    if (sep == m_separator)
        return;
    m_separator = sep;
    updateCaption();
}

void TFileLabel::setDirection(TDirection d)
{
    if (d == m_direction)
        return;
    m_direction = d;
    updateCaption();
}

void TFileLabel::resizeEvent(QResizeEvent* e)
{
    QLabel::resizeEvent(e);
    if (e->size().width() != e->oldSize().width())
        updateCaption();
}

QString TFileLabel::caption()
{
    if (m_captionWidth != width())
        updateCaption();
    return text();
}

void TFileLabel::updateCaption()
{
    m_captionWidth = width();
    const QFontMetrics fm(font());
    setText(filelabel::shortenPath(m_fileName, m_separator, m_direction, width(),
                                   [&fm](const QString& s) { return fm.horizontalAdvance(s); }));
}
