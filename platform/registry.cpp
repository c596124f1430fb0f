// The registry stand-in: parsing and writing the registry export format.
#include "platform/registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024; // far more than any settings file

QString stripSlashes(QString key)
{
    while (key.startsWith('\\'))
        key.remove(0, 1);
    while (key.endsWith('\\'))
        key.chop(1);
    return key;
}

// Parses a quoted token starting at text[pos] == '"'; backslash escapes the
// next character. Returns the unescaped text and moves pos past the closing quote.
std::optional<QString> parseQuoted(const QString& text, qsizetype& pos)
{
    if (pos >= text.size() || text[pos] != '"')
        return std::nullopt;
    // Most texts hold no escape: taken in one piece.
    const qsizetype close = text.indexOf(QLatin1Char('"'), pos + 1);
    const qsizetype escape = text.indexOf(QLatin1Char('\\'), pos + 1);
    if (close > pos && (escape < 0 || escape > close)) {
        QString out = text.mid(pos + 1, close - pos - 1);
        pos = close + 1;
        return out;
    }
    QString out;
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            out += text[++i];
        } else if (c == '"') {
            pos = i + 1;
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

QString quote(const QString& s)
{
    if (!s.contains(QLatin1Char('\\')) && !s.contains(QLatin1Char('"')))
        return QLatin1Char('"') + s + QLatin1Char('"');
    QString out = "\"";
    for (QChar c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

QString decodeFile(const QByteArray& bytes)
{
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder dec(QStringDecoder::Utf16LE);
        return dec(bytes.mid(2));
    }
    QByteArray b = bytes;
    if (b.startsWith("\xEF\xBB\xBF"))
        b.remove(0, 3);
    return QString::fromUtf8(b);
}

} // namespace

void RegFileRegistry::load(const QString& fileName)
{
    m_fileName = fileName;
    m_preamble.clear();
    m_keys.clear();
    m_keyIndex.clear();
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return;
    // A settings file never grows this large; a bigger one is not ours to parse whole.
    const QByteArray bytes = f.read(kMaxFileSize);
    loadFromText(decodeFile(bytes));
}

// The right-hand side of a value line: a string, a dword, or anything else
// kept as it is (never read as one of ours).
RegFileRegistry::Value RegFileRegistry::parseValue(const QString& name, const QString& data)
{
    Value v;
    v.name = name;
    v.type = Type::Raw;
    v.text = data;
    if (data.startsWith('"')) {
        qsizetype p = 0;
        auto s = parseQuoted(data, p);
        if (s && data.mid(p).trimmed().isEmpty()) { // else a damaged string
            v.type = Type::String;
            v.text = *s;
        }
    } else if (data.startsWith("dword:", Qt::CaseInsensitive)) {
        const QString hex = data.mid(6).trimmed();
        bool ok = false;
        const quint32 d = hex.size() <= 8 ? hex.toUInt(&ok, 16) : 0;
        if (ok && !hex.isEmpty()) {
            v.type = Type::Dword;
            v.dword = d;
            v.text.clear();
        }
    }
    return v;
}

void RegFileRegistry::loadFromText(const QString& text)
{
    m_preamble.clear();
    m_keys.clear();
    m_keyIndex.clear();
    QStringList lines = text.split('\n');
    Key* current = nullptr;
    QString pending; // a value line continued with a trailing backslash
    for (qsizetype li = 0; li < lines.size(); ++li) {
        QString line = lines[li];
        if (line.endsWith('\r'))
            line.chop(1);
        if (!pending.isEmpty()) {
            pending += '\n' + line;
            if (line.endsWith('\\') && li + 1 < lines.size())
                continue;
            line = pending;
            pending.clear();
        } else if (current && line.startsWith('"') && line.endsWith('\\') && li + 1 < lines.size()) {
            pending = line;
            continue;
        }
        const QString trimmed = line.trimmed();
        if (!current && trimmed == kHeader)
            continue;
        if (trimmed.startsWith('[') && trimmed.endsWith(']') && trimmed.size() > 2) {
            const QString path = stripSlashes(trimmed.mid(1, trimmed.size() - 2));
            current = findFullPath(path);
            if (!current)
                current = &addKey(path);
            continue;
        }
        if (!current) {
            if (!trimmed.isEmpty())
                m_preamble.append(line);
            continue;
        }
        if (trimmed.isEmpty())
            continue;
        // "name"=data or @=data
        qsizetype pos = 0;
        QString name;
        if (line.startsWith('@')) {
            name = "@";
            pos = 1;
        } else if (auto q = parseQuoted(line, pos)) {
            name = *q;
        } else {
            current->otherLines.append(line);
            continue;
        }
        if (pos >= line.size() || line[pos] != '=') {
            current->otherLines.append(line);
            continue;
        }
        const Value v = parseValue(name, line.mid(pos + 1));
        Value& slot = valueSlot(*current, name); // a repeated name: the last one wins
        slot = v;
    }
    if (!pending.isEmpty() && current)
        current->otherLines.append(pending);
}

QString RegFileRegistry::toText() const
{
    QString out = kHeader + "\n\n";
    for (const QString& l : m_preamble)
        out += l + '\n';
    if (!m_preamble.isEmpty())
        out += '\n';
    for (const Key& k : m_keys) {
        out += '[' + k.path + "]\n";
        for (const Value& v : k.values) {
            out += v.name == "@" ? QStringLiteral("@") : quote(v.name);
            out += '=';
            switch (v.type) {
            case Type::Dword:
                out += QLatin1String("dword:") + QString::number(v.dword, 16).rightJustified(8, QLatin1Char('0'));
                break;
            case Type::String:
                out += quote(v.text);
                break;
            case Type::Raw:
                out += v.text;
                break;
            }
            out += '\n';
        }
        for (const QString& l : k.otherLines)
            out += l + '\n';
        out += '\n';
    }
    return out;
}

QString RegFileRegistry::fullPath(const QString& key) const
{
    return QString::fromLatin1(kHive) + '\\' + stripSlashes(key);
}

RegFileRegistry::Key* RegFileRegistry::findFullPath(const QString& full)
{
    const qsizetype at = m_keyIndex.value(full.toCaseFolded(), -1);
    return at < 0 ? nullptr : &m_keys[at];
}

RegFileRegistry::Key& RegFileRegistry::addKey(const QString& full)
{
    m_keyIndex.insert(full.toCaseFolded(), m_keys.size());
    m_keys.append(Key{full, {}, {}, {}});
    return m_keys.last();
}

RegFileRegistry::Key* RegFileRegistry::findKey(const QString& key) { return findFullPath(fullPath(key)); }

const RegFileRegistry::Key* RegFileRegistry::findKey(const QString& key) const
{
    return const_cast<RegFileRegistry*>(this)->findKey(key);
}

// A key of a few values is searched in place; an index per key would cost
// more than it saves in a file of thousands of small keys.
constexpr qsizetype kIndexedValues = 16;

const RegFileRegistry::Value* RegFileRegistry::findValue(const Key& k, const QString& name)
{
    if (k.valueIndex.isEmpty()) {
        for (const Value& v : k.values)
            if (v.name.compare(name, Qt::CaseInsensitive) == 0)
                return &v;
        return nullptr;
    }
    const qsizetype at = k.valueIndex.value(name.toCaseFolded(), -1);
    return at < 0 ? nullptr : &k.values[at];
}

RegFileRegistry::Value& RegFileRegistry::valueSlot(Key& k, const QString& name)
{
    if (const Value* v = findValue(k, name))
        return const_cast<Value&>(*v);
    k.values.append(Value{name, Type::Raw, 0, {}});
    if (!k.valueIndex.isEmpty()) {
        k.valueIndex.insert(name.toCaseFolded(), k.values.size() - 1);
    } else if (k.values.size() > kIndexedValues) {
        for (qsizetype i = 0; i < k.values.size(); ++i)
            k.valueIndex.insert(k.values[i].name.toCaseFolded(), i);
    }
    return k.values.last();
}

bool RegFileRegistry::keyExists(const QString& key) const { return findKey(key) != nullptr; }

bool RegFileRegistry::createKey(const QString& key)
{
    if (stripSlashes(key).isEmpty())
        return false;
    if (!findKey(key))
        addKey(fullPath(key));
    return true;
}

std::optional<quint32> RegFileRegistry::readDword(const QString& key, const QString& name) const
{
    const Key* k = findKey(key);
    const Value* v = k ? findValue(*k, name) : nullptr;
    if (!v || v->type != Type::Dword)
        return std::nullopt;
    return v->dword;
}

std::optional<QString> RegFileRegistry::readString(const QString& key, const QString& name) const
{
    const Key* k = findKey(key);
    const Value* v = k ? findValue(*k, name) : nullptr;
    if (!v || v->type != Type::String)
        return std::nullopt;
    return v->text;
}

bool RegFileRegistry::valueExists(const QString& key, const QString& name) const
{
    const Key* k = findKey(key);
    return k && findValue(*k, name);
}

bool RegFileRegistry::writeDword(const QString& key, const QString& name, quint32 value)
{
    Key* k = findKey(key);
    if (!k)
        return false;
    Value& v = valueSlot(*k, name);
    v.type = Type::Dword;
    v.dword = value;
    v.text.clear();
    return true;
}

bool RegFileRegistry::writeString(const QString& key, const QString& name, const QString& value)
{
    Key* k = findKey(key);
    if (!k)
        return false;
    // A line break would end the value line; the format has no escape for it.
    if (value.contains('\n') || value.contains('\r'))
        return false;
    Value& v = valueSlot(*k, name);
    v.type = Type::String;
    v.text = value;
    return true;
}

bool RegFileRegistry::flush()
{
    if (m_fileName.isEmpty())
        return false;
    QDir().mkpath(QFileInfo(m_fileName).absolutePath());
    QSaveFile f(m_fileName);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = toText().toUtf8();
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

QString RegFileRegistry::defaultFileName()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + "/.config";
    return base + "/quorvel/registry.reg";
}

std::unique_ptr<Registry> openCurrentUserRegistry()
{
    return std::make_unique<RegFileRegistry>(RegFileRegistry::defaultFileName());
}
