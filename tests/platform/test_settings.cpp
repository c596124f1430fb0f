// The settings record against the registry file: defaults, layout, odd values.
#include "platform/settings.h"
#include "platform/registry.h"

#include "testutil.h"

#include <QColor>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kBase = "Software\\Morwenly\\Quorvel\\1.5\\";

// Every value the settings write: key, name, and whether it is a string.
struct Expected {
    const char* key;
    const char* name;
    bool isString;
};
const Expected kAll[] = {
    {"Thumb", "Dimensione", false}, {"Thumb", "BdCol", false}, {"Thumb", "BkCol", false},
    {"Thumb", "SalvaThumb", false}, {"Thumb", "SvuotaLista", false},
    {"OpzioniJPG", "Colori", false}, {"OpzioniJPG", "Quantizzazione", false},
    {"OpzioniJPG", "Dithering", false}, {"OpzioniJPG", "Qualita", false},
    {"FmPrincipale", "Alto", false}, {"FmPrincipale", "Sinistra", false},
    {"FmPrincipale", "Larghezza", false}, {"FmPrincipale", "Altezza", false},
    {"FmPrincipale", "LarghezzaFTree", false}, {"FmPrincipale", "AltezzaFTree", false},
    {"FmPrincipale", "FTreeScroll", false}, {"FmPrincipale", "HotTrack", false},
    {"SlideShow", "DurataSlide", false}, {"SlideShow", "MostraSoloSelezionate", false},
    {"SlideShow", "MostraNomePercorso", false},
    {"Generali", "Lingua", true}, {"Generali", "RinominaSeEsiste", false},
    {"Generali", "Operazione", false}, {"Generali", "ImmCentrata", false},
    {"BkTool", "ImgSfondoToolbar", false},
};

} // namespace

TEST(Settings, DefaultsAreThoseOfAFirstRun)
{
    const TConfigurazione c;
    EXPECT_EQ(c.Alto, 50);
    EXPECT_EQ(c.Larghezza, 400);
    EXPECT_EQ(c.Altezza, 250);
    EXPECT_EQ(c.Lingua, QString("ENGLISH"));
    EXPECT_TRUE(c.SvuotaLista);
    EXPECT_EQ(c.LarghezzaFTree, 50);
    EXPECT_EQ(c.AltezzaFTree, 250);
    EXPECT_EQ(c.Dimensione, 2);
    EXPECT_EQ(c.BdCol, 0xFFu);
    EXPECT_EQ(c.BkCol, 0xC0C0C0u);
    EXPECT_TRUE(c.ImgSfondoToolbar);
    EXPECT_TRUE(c.Operazione);
    EXPECT_FALSE(c.SalvaThumb);
    EXPECT_FALSE(c.RinominaSeEsiste);
    EXPECT_EQ(c.Quantizzazione, 1);
    EXPECT_EQ(c.Dithering, 2);
    EXPECT_EQ(c.Qualita, 90);
}

TEST(Settings, FirstSaveWritesEveryKeyValueAndTypeInOrder)
{
    RegFileRegistry reg;
    SalvaConfigurazione(reg, TConfigurazione{});
    for (const Expected& e : kAll) {
        const QString key = kBase + e.key;
        ASSERT_TRUE(reg.keyExists(key)) << e.key;
        if (e.isString)
            EXPECT_TRUE(reg.readString(key, e.name).has_value()) << e.name;
        else
            EXPECT_TRUE(reg.readDword(key, e.name).has_value()) << e.name;
    }
    EXPECT_EQ(reg.readDword(kBase + "Thumb", "BkCol"), 0xC0C0C0u);
    EXPECT_EQ(reg.readString(kBase + "Generali", "Lingua"), QString("ENGLISH"));
    // Keys and values appear in the documented order.
    const QString text = reg.toText();
    qsizetype last = -1;
    for (const Expected& e : kAll) {
        const qsizetype at = text.indexOf(QString("[HKEY_CURRENT_USER\\%1%2]").arg(kBase, e.key));
        const qsizetype v = text.indexOf('"' + QString(e.name) + "\"=", at);
        EXPECT_GT(v, last) << e.name;
        last = v;
    }
}

TEST(Settings, OddValuesSurviveARoundTrip)
{
    RegFileRegistry reg;
    reg.loadFromText("Windows Registry Editor Version 5.00\n\n"
                     "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Thumb]\n"
                     "\"Dimensione\"=dword:00000007\n\"SalvaThumb\"=dword:00000005\n"
                     "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n"
                     "\"Lingua\"=\"KLINGON\"\n"
                     "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\FmPrincipale]\n"
                     "\"Alto\"=dword:fffffff6\n"
                     "[HKEY_CURRENT_USER\\Software\\Somebody\\Else]\n\"Mine\"=\"keep me\"\n");
    TConfigurazione c;
    LeggiConfigurazione(reg, c);
    EXPECT_EQ(c.Dimensione, 7);
    EXPECT_TRUE(c.SalvaThumb);
    EXPECT_EQ(c.Lingua, QString("KLINGON"));
    EXPECT_EQ(c.Alto, -10); // integers are signed
    EXPECT_EQ(c.Larghezza, 400); // missing in an existing key: default kept

    SalvaConfigurazione(reg, c);
    RegFileRegistry back;
    back.loadFromText(reg.toText());
    EXPECT_EQ(back.readDword(kBase + "Thumb", "Dimensione"), 7u);
    EXPECT_EQ(back.readDword(kBase + "Thumb", "SalvaThumb"), 1u); // a true Boolean is written as 1
    EXPECT_EQ(back.readString(kBase + "Generali", "Lingua"), QString("KLINGON"));
    EXPECT_EQ(back.readString("Software\\Somebody\\Else", "Mine"), QString("keep me"));
}

TEST(Settings, WrongTypesKeepTheFieldAndMissingLinguaIsEmpty)
{
    RegFileRegistry reg;
    reg.loadFromText("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Thumb]\n"
                     "\"Dimensione\"=\"3\"\n\"BdCol\"=hex:01\n\"BkCol\"=dword:00123456\n"
                     "[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n"
                     "\"Operazione\"=dword:00000000\n");
    TConfigurazione c;
    LeggiConfigurazione(reg, c);
    EXPECT_EQ(c.Dimensione, 2);
    EXPECT_EQ(c.BdCol, 0xFFu);
    EXPECT_EQ(c.BkCol, 0x123456u);
    EXPECT_FALSE(c.Operazione);
    EXPECT_EQ(c.Lingua, QString()); // Generali exists but has no Lingua

    RegFileRegistry wrongType;
    wrongType.loadFromText("[HKEY_CURRENT_USER\\Software\\Morwenly\\Quorvel\\1.5\\Generali]\n"
                           "\"Lingua\"=dword:00000001\n");
    TConfigurazione d;
    LeggiConfigurazione(wrongType, d);
    EXPECT_EQ(d.Lingua, QString("ENGLISH"));
}

TEST(Settings, GlobalRoutinesUseTheUserFile)
{
    QTemporaryDir dir;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    const TConfigurazione saved = Configurazione;
    Configurazione = TConfigurazione{};
    Configurazione.Qualita = 55;
    SalvaConfigurazione();
    Configurazione.Qualita = 10;
    LeggiConfigurazione();
    EXPECT_EQ(Configurazione.Qualita, 55);
    EXPECT_TRUE(qvtest::readFile(dir.path() + "/quorvel/registry.reg").contains("\"Qualita\"=dword:00000037"));
    Configurazione = saved;
    qputenv("XDG_CONFIG_HOME", old);
}

TEST(Settings, ColourRefsAreBlueGreenRed)
{
    EXPECT_EQ(colorFromRef(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(colorToRef(QColor(1, 2, 3)), 0x030201u);
}
