// The language tests over the Lingua setting.
#include "interface_language.h"

#include "settings.h"

InterfaceLanguage interfaceLanguage(const QString& language, LanguageTest test)
{
    const QLatin1String italian("ITALIANO");
    switch (test) {
    case LanguageTest::Exact:
        return language == italian ? InterfaceLanguage::Italian : InterfaceLanguage::English;
    case LanguageTest::ItalianPrefix:
        return language.startsWith(italian) ? InterfaceLanguage::Italian : InterfaceLanguage::English;
    case LanguageTest::BothPrefixes:
        if (language.startsWith(italian))
            return InterfaceLanguage::Italian;
        return language.startsWith(QLatin1String("ENGLISH")) ? InterfaceLanguage::English
                                                           : InterfaceLanguage::Unchanged;
    }
    return InterfaceLanguage::English;
}

InterfaceLanguage interfaceLanguage(LanguageTest test)
{
    return interfaceLanguage(Configurazione.Lingua, test);
}

bool italianInterface(const QString& language, LanguageTest test)
{
    return interfaceLanguage(language, test) == InterfaceLanguage::Italian;
}

bool italianInterface(LanguageTest test)
{
    return italianInterface(Configurazione.Lingua, test);
}
