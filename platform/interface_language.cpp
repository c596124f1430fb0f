// The language tests over the Lingua setting.
#include "interface_language.h"

#include "settings.h"

InterfaceLanguage interfaceLanguage(const QString& lingua, LanguageTest test)
{
    const QLatin1String italian("ITALIANO");
    switch (test) {
    case LanguageTest::Exact:
        return lingua == italian ? InterfaceLanguage::Italian : InterfaceLanguage::English;
    case LanguageTest::ItalianPrefix:
        return lingua.startsWith(italian) ? InterfaceLanguage::Italian : InterfaceLanguage::English;
    case LanguageTest::BothPrefixes:
        if (lingua.startsWith(italian))
            return InterfaceLanguage::Italian;
        return lingua.startsWith(QLatin1String("ENGLISH")) ? InterfaceLanguage::English
                                                           : InterfaceLanguage::Unchanged;
    }
    return InterfaceLanguage::English;
}

InterfaceLanguage interfaceLanguage(LanguageTest test)
{
    return interfaceLanguage(Configurazione.Lingua, test);
}

bool italianInterface(const QString& lingua, LanguageTest test)
{
    return interfaceLanguage(lingua, test) == InterfaceLanguage::Italian;
}

bool italianInterface(LanguageTest test)
{
    return italianInterface(Configurazione.Lingua, test);
}
