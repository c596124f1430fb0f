// Which language a window's texts take, from the Lingua setting. The windows
// differ in how strictly they read the setting; each names its test here.
#pragma once
#include <QString>

enum class LanguageTest {
    Exact,         // Italian only for exactly "ITALIANO", English otherwise
    ItalianPrefix, // Italian when it begins with "ITALIANO", English otherwise
    BothPrefixes,  // Italian on an "ITALIANO" prefix, English on an "ENGLISH" one, else neither
};

enum class InterfaceLanguage { Italian, English, Unchanged };

InterfaceLanguage interfaceLanguage(const QString& language, LanguageTest test);
// For the setting of the process's record.
InterfaceLanguage interfaceLanguage(LanguageTest test);
// Whether texts chosen by `test` are the Italian ones.
bool italianInterface(LanguageTest test);
bool italianInterface(const QString& language, LanguageTest test);
