#pragma once
// Interface word tables: the 146 captions, labels and units of the image library's dialogs in
// 21 languages, filled once by the library start-up (HyRVUtilsStartup in RVStartup.cpp) and read
// by the save-parameters preview dialog of the I/O component through GetLocalizedWord.
//
// Texts are held as UTF-16. SetLocalizedWord reads a byte string in the language's Windows code
// page (LanguageCharInfo); the built-in rows are kept as UTF-8 text and stored through
// SetLocalizedWordW.
#include <cstdint>
#include <string>
#include <string_view>

#include "rastova/core/RVDefs.h"

namespace rv {

constexpr int kLocalizedWordCount = 146;

// Per language: the font character set and face name (kept, not read here) and the code page
// in which the language's byte strings are written.
struct TRVLANGUAGECHARINFO {
  uint8_t CharSet;
  const char* FontName;
  uint16_t CodePage;
};
extern const TRVLANGUAGECHARINFO LanguageCharInfo[kMsgLanguageCount];

// The store, row-major by language then word index. Empty until the start-up fills it.
extern std::u16string LocalizedWords[kMsgLanguageCount][kLocalizedWordCount];

// Calls the 21 filling routines in the order of TMsgLanguage, English first.
void FillWordTables();
void FillWordsEnglish();
void FillWordsItalian();
void FillWordsGerman();
void FillWordsSpanish();
void FillWordsFrench();
void FillWordsPortuguese();
void FillWordsGreek();
void FillWordsRussian();
void FillWordsDutch();
void FillWordsSwedish();
void FillWordsPolish();
void FillWordsJapanese();
void FillWordsCzech();
void FillWordsFinnish();
void FillWordsFarsi();
void FillWordsChinese();
void FillWordsChineseTraditional();
void FillWordsDanish();
void FillWordsTurkish();
void FillWordsKorean();
void FillWordsHungarian();

// Stores Text, read as bytes in the language's code page, as UTF-16. Bytes the code page does
// not define become U+FFFD each; the rest of the text is still stored. Indices past 145 and
// languages past msUser are ignored.
void SetLocalizedWord(TMsgLanguage Language, uint8_t Index, std::string_view Text);
// Stores a text that is already UTF-16, unchanged.
void SetLocalizedWordW(TMsgLanguage Language, uint8_t Index, std::u16string_view Text);
// The entry at Language and Index; an empty entry gives the English one. msSystem picks the
// row of the locale read at start-up and returns its entry as it stands (no English fallback).
// An index past 145 gives an empty text.
std::u16string GetLocalizedWord(uint8_t Index, TMsgLanguage Language);

// ---- The process's locale, for msSystem ----

// A Windows-style language id: primary language in bits 0-9, sub-language in bits 10-15.
// A POSIX locale name ("de_CH.UTF-8", "zh_TW", "C") maps to it by language and territory;
// an empty name, "C" and "POSIX" give English (primary 9, sub-language 1).
uint16_t LocaleNameToLanguageId(std::string_view Name);
// The row msSystem reads for a language id.
TMsgLanguage LanguageIdToMsgLanguage(uint16_t LanguageId);
// Reads the locale from LC_ALL, LC_MESSAGES and LANG (the first one set and not empty) and
// keeps its language id for msSystem. Called once by the library start-up.
void ReadSystemLocale();
// The language id kept by ReadSystemLocale.
uint16_t SystemLanguageId();

}  // namespace rv
