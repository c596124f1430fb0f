// A set of full file paths with exact identity (this file system tells case
// apart), kept in locale-aware order for listing.
#pragma once
#include <QSet>
#include <QString>
#include <QStringList>

class PathList {
public:
    bool contains(const QString& path) const { return m_set.contains(path); }
    // Adding a path already present changes nothing.
    void add(const QString& path) { m_set.insert(path); }
    bool remove(const QString& path) { return m_set.remove(path); }
    void clear() { m_set.clear(); }
    int count() const { return int(m_set.size()); }
    bool isEmpty() const { return m_set.isEmpty(); }
    // The paths in locale-aware order (case-insensitive first, exact as tie-break).
    QStringList sorted() const;
    // The paths in no particular order.
    const QSet<QString>& items() const { return m_set; }

private:
    QSet<QString> m_set;
};
