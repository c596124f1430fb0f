// The settings record against the registry file: layout, odd and mistyped values.
#include "platform/settings.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

namespace {

const QString kBase = "Software\\Morwenly\\Quorvel\\1.5\\";

RegFileRegistry registryOf(const QString& values)
{
    RegFileRegistry reg;
    reg.loadFromText("Windows Registry Editor Version 5.00\n\n" + values);
    return reg;
}

} // namespace

TEST(Settings, OddValuesAreReadAsTheyAre)
{
    TConfigurazione c;
    LeggiConfigurazione(registryOf("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Thumb]\n"
                                   "\"Dimensione\"=dword:00000007\n\"SalvaThumb\"=dword:00000005\n"
                                   "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\FmPrincipale]\n"
                                   "\"Alto\"=dword:fffffff6\n"),
                        c);
    EXPECT_EQ(c.Dimensione, 7);
    EXPECT_TRUE(c.SalvaThumb);
    EXPECT_EQ(c.Alto, -10);      // integers are signed
    EXPECT_EQ(c.Larghezza, 400); // missing in an existing key: default kept
    RegFileRegistry back;
    SalvaConfigurazione(back, c);
    EXPECT_EQ(back.readDword(kBase + "Thumb", "SalvaThumb"), 1u); // a true Boolean is written as 1
    EXPECT_EQ(back.readDword(kBase + "FmPrincipale", "Alto"), 0xFFFFFFF6u);
}

TEST(Settings, WrongTypesKeepTheFieldAndMissingLinguaIsEmpty)
{
    TConfigurazione c;
    LeggiConfigurazione(registryOf("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Thumb]\n"
                                   "\"Dimensione\"=\"3\"\n\"BdCol\"=hex:01\n\"BkCol\"=dword:00123456\n"
                                   "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n"
                                   "\"Operazione\"=dword:00000000\n"),
                        c);
    EXPECT_EQ(c.Dimensione, 2);
    EXPECT_EQ(c.BdCol, 0xFFu);
    EXPECT_EQ(c.BkCol, 0x123456u);
    EXPECT_FALSE(c.Operazione);
    EXPECT_EQ(c.Lingua, QString()); // Generali exists but has no Lingua

    TConfigurazione d;
    LeggiConfigurazione(registryOf("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n"
                                   "\"Lingua\"=dword:00000001\n"),
                        d);
    EXPECT_EQ(d.Lingua, QString("ENGLISH"));
}
