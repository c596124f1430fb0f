// The registry file: parsing, typed values, keeping what is not ours, saving.
#include "platform/registry.h"

#include "testutil.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString kKey = "Software\\Test\\Key";
}

TEST(RegFileRegistry, ReadsTypedValuesAndRejectsOtherTypes)
{
    RegFileRegistry reg;
    reg.loadFromText("Windows Registry Editor Version 5.00\r\n\r\n"
                     "[HKEY_CURRENT_USER\\Software\\Test\\Key]\r\n"
                     "\"Number\"=dword:0000001f\r\n"
                     "\"Text\"=\"a \\\"quoted\\\" C:\\\\path\"\r\n"
                     "\"Binary\"=hex:01,02,03\r\n"
                     "\"Huge\"=dword:123456789\r\n");
    EXPECT_TRUE(reg.keyExists(kKey));
    EXPECT_TRUE(reg.keyExists("software\\TEST\\key")); // key names ignore case
    EXPECT_EQ(reg.readDword(kKey, "Number"), 0x1Fu);
    EXPECT_EQ(reg.readString(kKey, "Text"), QString("a \"quoted\" C:\\path"));
    EXPECT_FALSE(reg.readDword(kKey, "Text").has_value());
    EXPECT_FALSE(reg.readString(kKey, "Number").has_value());
    EXPECT_FALSE(reg.readDword(kKey, "Binary").has_value());
    EXPECT_FALSE(reg.readDword(kKey, "Huge").has_value()); // nine digits is not a DWORD
    EXPECT_TRUE(reg.valueExists(kKey, "Binary"));
    EXPECT_FALSE(reg.valueExists(kKey, "Missing"));
}

TEST(RegFileRegistry, WritesAndKeepsForeignContent)
{
    RegFileRegistry reg;
    reg.loadFromText("Windows Registry Editor Version 5.00\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Other]\n"
                     "\"Keep\"=hex(2):25,00,00,00\n"
                     "\"Multi\"=hex:01,02,\\\n  03,04\n"
                     "\n[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\n\"X\"=dword:00000001\n");
    EXPECT_FALSE(reg.writeDword(kKey, "N", 1)); // key not created yet
    ASSERT_TRUE(reg.createKey(kKey));
    EXPECT_TRUE(reg.writeDword(kKey, "N", 0xFFFFFFFFu));
    EXPECT_TRUE(reg.writeString(kKey, "S", "quote\" and \\"));
    EXPECT_FALSE(reg.writeString(kKey, "Bad", "two\nlines"));

    RegFileRegistry again;
    again.loadFromText(reg.toText());
    EXPECT_EQ(again.readDword(kKey, "N"), 0xFFFFFFFFu);
    EXPECT_EQ(again.readString(kKey, "S"), QString("quote\" and \\"));
    const QString text = again.toText();
    EXPECT_TRUE(text.contains("\"Keep\"=hex(2):25,00,00,00"));
    EXPECT_TRUE(text.contains("\"Multi\"=hex:01,02,\\\n  03,04"));
    EXPECT_TRUE(text.contains("[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]"));
    EXPECT_TRUE(text.startsWith("Windows Registry Editor Version 5.00\n"));
}

TEST(RegFileRegistry, DamagedTextIsReadAsFarAsPossible)
{
    RegFileRegistry reg;
    // Garbage, a key without its closing bracket, a value cut in the middle.
    reg.loadFromText("garbage line\n\x01\x02\n[HKEY_CURRENT_USER\\Software\\Test\\Key]\n"
                     "\"Good\"=dword:00000007\n\"Cut\"=dwo\n\"Unclosed=\"x\n"
                     "[HKEY_CURRENT_USER\\Software\\Broken\n\"Str\"=\"no end");
    EXPECT_EQ(reg.readDword(kKey, "Good"), 7u);
    EXPECT_FALSE(reg.readDword(kKey, "Cut").has_value());
    EXPECT_FALSE(reg.readString(kKey, "Str").has_value());
    // Writing over a damaged value replaces it.
    ASSERT_TRUE(reg.writeDword(kKey, "Cut", 3));
    RegFileRegistry again;
    again.loadFromText(reg.toText());
    EXPECT_EQ(again.readDword(kKey, "Cut"), 3u);
}

TEST(RegFileRegistry, FileRoundTripUtf16AndAtomicSave)
{
    QTemporaryDir dir;
    const QString file = dir.path() + "/sub/registry.reg";
    {
        RegFileRegistry reg(file); // missing file: empty registry
        EXPECT_FALSE(reg.keyExists(kKey));
        reg.createKey(kKey);
        reg.writeString(kKey, "Città", "perché");
        ASSERT_TRUE(reg.flush()); // creates the folder
    }
    RegFileRegistry back(file);
    EXPECT_EQ(back.readString(kKey, "Città"), QString("perché"));

    // A file exported as UTF-16 with a byte-order mark reads the same.
    const QString text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test\\Key]\r\n\"V\"=dword:00000002\r\n";
    QByteArray utf16("\xFF\xFE", 2);
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    qvtest::writeFile(dir.path() + "/u16.reg", utf16);
    EXPECT_EQ(RegFileRegistry(dir.path() + "/u16.reg").readDword(kKey, "V"), 2u);

    // A save that cannot happen leaves the old file as it was.
    RegFileRegistry blocked(dir.path() + "/u16.reg/cannot");
    blocked.createKey(kKey);
    EXPECT_FALSE(blocked.flush());
    EXPECT_EQ(qvtest::readFile(dir.path() + "/u16.reg"), utf16);
}

TEST(RegFileRegistry, DefaultLocationFollowsXdgConfigHome)
{
    qvtest::ScopedEnv env;
    env.set("XDG_CONFIG_HOME", "/tmp/somewhere");
    EXPECT_EQ(RegFileRegistry::defaultFileName(), QString("/tmp/somewhere/quorvel/registry.reg"));
    env.set("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_TRUE(RegFileRegistry::defaultFileName().endsWith("/.config/quorvel/registry.reg"));
}

TEST(RegFileRegistry, KeysAndValuesAreFoundWithoutCase)
{
    RegFileRegistry reg;
    // The same key and value again in other case: one key, the last value wins.
    reg.loadFromText("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\K1]\n\"Value7\"=dword:00000007\n"
                     "\"Other\"=dword:00000001\n[hkey_current_user\\software\\k1]\n\"VALUE7\"=dword:000000ff\n");
    EXPECT_EQ(reg.readDword("Software\\K1", "value7"), 0xFFu);
    EXPECT_TRUE(reg.writeDword("software\\k1", "other", 2));
    EXPECT_TRUE(reg.writeDword("software\\K1", "New", 3));
    RegFileRegistry again;
    again.loadFromText(reg.toText());
    EXPECT_EQ(again.readDword("SOFTWARE\\k1", "OTHER"), 2u);
    EXPECT_EQ(again.readDword("Software\\K1", "new"), 3u);
    EXPECT_EQ(reg.toText().count("\"Other\"=", Qt::CaseInsensitive), 1);
    EXPECT_EQ(reg.toText().count("\\K1]", Qt::CaseInsensitive), 1);
}
