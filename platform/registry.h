// The current user's registry: typed values under backslash-separated key
// paths, reached through an interface so a Windows build can use the real one.
#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <optional>

class Registry {
public:
    virtual ~Registry() = default;

    virtual bool keyExists(const QString& key) const = 0;
    // Creates the key when missing; false when it cannot be created.
    virtual bool createKey(const QString& key) = 0;

    // Reads give nothing when the key or value is missing or has another type.
    virtual std::optional<quint32> readDword(const QString& key, const QString& name) const = 0;
    virtual std::optional<QString> readString(const QString& key, const QString& name) const = 0;
    virtual bool valueExists(const QString& key, const QString& name) const = 0;

    // Writes replace a value of any type; false when the key does not exist.
    virtual bool writeDword(const QString& key, const QString& name, quint32 value) = 0;
    virtual bool writeString(const QString& key, const QString& name, const QString& value) = 0;

    // Makes the writes lasting; false when they could not be stored.
    virtual bool flush() = 0;
};

// A registry kept in one text file in the registry export format
// ("Windows Registry Editor Version 5.00", [HKEY_CURRENT_USER\...] sections,
// "Name"=dword:0000001f and "Name"="text" values). Values of other types,
// foreign keys and lines it does not understand are kept as they are and
// written back unchanged. Saving replaces the file atomically.
class RegFileRegistry : public Registry {
public:
    // Key paths given to the interface are relative to this hive.
    static constexpr const char* kHive = "HKEY_CURRENT_USER";

    RegFileRegistry() = default;
    explicit RegFileRegistry(const QString& fileName) { load(fileName); }

    // Reads the file; a missing file is an empty registry. Damaged parts are
    // skipped as far as they can be recognised; never fails.
    void load(const QString& fileName);
    void loadFromText(const QString& text);
    QString toText() const;
    QString fileName() const { return m_fileName; }

    bool keyExists(const QString& key) const override;
    bool createKey(const QString& key) override;
    std::optional<quint32> readDword(const QString& key, const QString& name) const override;
    std::optional<QString> readString(const QString& key, const QString& name) const override;
    bool valueExists(const QString& key, const QString& name) const override;
    bool writeDword(const QString& key, const QString& name, quint32 value) override;
    bool writeString(const QString& key, const QString& name, const QString& value) override;
    bool flush() override;

    // $XDG_CONFIG_HOME/quorvel/registry.reg (XDG_CONFIG_HOME defaults to ~/.config).
    static QString defaultFileName();

private:
    enum class Type { Dword, String, Raw };
    struct Value {
        QString name;  // as written in the file, unescaped; "@" is the default value
        Type type = Type::Raw;
        quint32 dword = 0;
        QString text;  // the string, or the raw right-hand side for other types
    };
    struct Key {
        QString path;           // full path including the hive
        QVector<Value> values;
        QStringList otherLines; // lines inside the key that are not values
        QHash<QString, qsizetype> valueIndex; // case-folded name -> position in values
    };

    static Value parseValue(const QString& name, const QString& data);
    Key* findKey(const QString& key);
    const Key* findKey(const QString& key) const;
    static const Value* findValue(const Key& k, const QString& name);
    Value& valueSlot(Key& k, const QString& name);
    QString fullPath(const QString& key) const;
    Key* findFullPath(const QString& full);
    Key& addKey(const QString& full);

    QString m_fileName;
    QStringList m_preamble; // lines before the first key, header excluded
    QVector<Key> m_keys;
    // Names compare without case; looked up by hash so that a file of many
    // keys or values loads and saves in linear time.
    QHash<QString, qsizetype> m_keyIndex; // case-folded full path -> position in m_keys
};

// The registry of the current user on this machine.
std::unique_ptr<Registry> openCurrentUserRegistry();
