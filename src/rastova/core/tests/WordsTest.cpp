#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/CodePage.h"
#include "rastova/core/RVStartup.h"
#include "rastova/core/RVWords.h"

using namespace rv;

namespace {

std::string Word(uint8_t index, TMsgLanguage language) {
  return common::Utf16ToUtf8(GetLocalizedWord(index, language));
}

// Converts UTF-8 text into a code page strictly: nullopt when any character is missing there.
std::optional<std::string> Utf8ToCodePage(const std::string& text, uint16_t codePage) {
  const std::string to = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open(to.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* o = out.data();
  size_t outLeft = out.size();
  const size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1) || r != 0) return std::nullopt;  // r > 0: irreversible substitutions
  out.resize(out.size() - outLeft);
  return out;
}

// Sets the locale variables, restarts the library so the locale is read again, and restores
// both afterwards.
class LocaleScope {
 public:
  LocaleScope(const char* lcAll, const char* lcMessages, const char* lang) {
    Set("LC_ALL", lcAll);
    Set("LC_MESSAGES", lcMessages);
    Set("LANG", lang);
    RastovaLibraryShutdown();
    RastovaLibraryStartup();
  }
  ~LocaleScope() {
    for (auto& [name, value] : saved_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    RastovaLibraryShutdown();
    RastovaLibraryStartup();
  }

 private:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

TEST(Words, TheFourTellingIndicesOfEveryLanguage) {
  struct Row {
    TMsgLanguage language;
    const char* w0;
    const char* w4;
    const char* w38;
    const char* w145;
  };
  const Row rows[] = {
      {msEnglish, "Preview", "Cancel", "Quality", "Fit"},
      {msItalian, "Anteprima", "Annulla", "Qualità", "Adatta"},
      {msGerman, "Vorschau", "Abbrechen", "Qualität", "Fit"},
      {msSpanish, "Vista Previa", "Cancelar", "Calidad", "Ajustar"},
      {msFrench, "Prévisualisation", "Annuler", "Qualité", "Fit"},
      {msPortuguese, "Visualizar", "Cancelar", "Qualidade", "Fit"},
      {msGreek, "Προεπισκόπηση", "Άκυρο", "Ποιότητα", "Fit"},
      {msRussian, "Просмотр", "Отмена", "Качество", "Fit"},
      {msDutch, "Voorbeeld", "Annuleren", "Kwaliteit", "Fit"},
      {msSwedish, "Granska", "Avbryt", "Kvalite", "Fit"},
      {msPolish, "Podgląd", "Anuluj", "Jakość", "Fit"},
      {msJapanese, "プレビュー", "キャンセル", "品質", "Fit"},
      {msCzech, "Náhled", "Storno", "Kvalita", "Fit"},
      {msFinnish, "Esikatselu", "Peruuta", "Laatu", "Sovita"},
      {msFarsi, "پيش نمايش", "انصراف", "كيفيت", "Fit"},
      {msChinese, "预览", "取消", "质量", "Fit"},
      {msChineseTraditional, "預覽", "取消", "質量", "Fit"},
      {msDanish, "Visning", "Annuller", "Kvalitet", "Fit"},
      {msTurkish, "Önizleme", "İptal", "Kalite", "Sigdir"},
      {msKorean, "미리보기", "취소", "품질", "Fit"},
      {msHungarian, "Előnézet", "Mégsem", "Minőség", "Igazít"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.language));
    EXPECT_EQ(Word(0, r.language), r.w0);
    EXPECT_EQ(Word(4, r.language), r.w4);
    EXPECT_EQ(Word(38, r.language), r.w38);
    EXPECT_EQ(Word(145, r.language), r.w145);
  }
  EXPECT_EQ(Word(128, msEnglish), "Automatically updates your preview with the changes you have selected");
  EXPECT_EQ(Word(103, msEnglish), "Value");
}

TEST(Words, EveryFilledRowIsCompleteAndFitsItsCodePage) {
  // Each row holds all 146 texts (Polish none for 123), and every text is representable in the
  // language's code page: converted there and back it reads the same.
  for (int l = msEnglish; l <= msHungarian; ++l) {
    const auto language = static_cast<TMsgLanguage>(l);
    const uint16_t cp = LanguageCharInfo[l].CodePage;
    for (int i = 0; i < kLocalizedWordCount; ++i) {
      SCOPED_TRACE(std::to_string(l) + ":" + std::to_string(i));
      const std::u16string& stored = LocalizedWords[l][i];
      if (language == msPolish && i == 123) {
        EXPECT_TRUE(stored.empty());
        continue;
      }
      ASSERT_FALSE(stored.empty());
      const std::string utf8 = common::Utf16ToUtf8(stored);
      const auto bytes = Utf8ToCodePage(utf8, cp);
      ASSERT_TRUE(bytes.has_value()) << utf8 << " does not fit code page " << cp;
      // Through the language's own code-page path.
      SetLocalizedWord(language, static_cast<uint8_t>(i), *bytes);
      EXPECT_EQ(LocalizedWords[l][i], common::Utf8ToUtf16(utf8));
    }
  }
  // Where languages translate the words of the units, they stay in English.
  for (int l = msEnglish; l <= msHungarian; ++l)
    for (int i : {133, 134, 135, 136, 139, 140, 141, 142, 143, 144})
      EXPECT_EQ(LocalizedWords[l][i], LocalizedWords[msEnglish][i]) << l << ":" << i;
}

TEST(Words, IndexZeroOfTheNonLatinRowsRoundTripsThroughItsCodePage) {
  struct Case {
    TMsgLanguage language;
    const char* text;
    const char* hexBytes;  // the text written in the language's code page
  };
  const Case cases[] = {
      {msGreek, "Προεπισκόπηση", "d0f1efe5f0e9f3eafcf0e7f3e7"},
      {msRussian, "Просмотр", "cff0eef1eceef2f0"},
      {msFarsi, "پيش نمايش", "81edd420e4e3c7edd4"},
      {msJapanese, "プレビュー", "8376838c83728385815b"},
      {msKorean, "미리보기", "b9ccb8aebab8b1e2"},
      {msChinese, "预览", "d4a4c0c0"},
      {msChineseTraditional, "預覽", "b977c4fd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string bytes;
    for (size_t k = 0; c.hexBytes[k]; k += 2)
      bytes += static_cast<char>(std::stoi(std::string(c.hexBytes + k, 2), nullptr, 16));
    EXPECT_EQ(Utf8ToCodePage(Word(0, c.language), LanguageCharInfo[c.language].CodePage), bytes);
    const std::u16string before = LocalizedWords[c.language][0];
    SetLocalizedWord(c.language, 0, bytes);
    EXPECT_EQ(Word(0, c.language), c.text);
    SetLocalizedWordW(c.language, 0, before);
  }
}

TEST(Words, EnglishFallbackForExplicitLanguagesOnly) {
  // Polish has no text for 123: an explicit request falls back to English.
  EXPECT_EQ(Word(123, msPolish), "Rate");
  // The user row is empty until an application fills it.
  EXPECT_EQ(Word(0, msUser), "Preview");
  EXPECT_EQ(Word(145, msUser), "Fit");
  SetLocalizedWordW(msUser, 0, u"Mine");
  EXPECT_EQ(Word(0, msUser), "Mine");
  SetLocalizedWordW(msUser, 0, u"");
  EXPECT_EQ(Word(0, msUser), "Preview");
  {
    // msSystem on a Polish locale returns the row's entry as it stands.
    LocaleScope scope(nullptr, nullptr, "pl_PL.UTF-8");
    EXPECT_EQ(Word(123, msSystem), "");
    EXPECT_EQ(Word(0, msSystem), "Podgląd");
  }
  // Out of range: nothing stored, nothing found, no crash.
  SetLocalizedWordW(msUser, 200, u"x");
  EXPECT_EQ(Word(200, msEnglish), "");
  EXPECT_EQ(Word(0, static_cast<TMsgLanguage>(40)), "");
}

TEST(Words, LocaleNamesMapToRows) {
  struct Case {
    const char* lang;
    TMsgLanguage row;
  };
  const Case cases[] = {
      {"", msEnglish},
      {"C", msEnglish},
      {"POSIX", msEnglish},
      {"C.UTF-8", msEnglish},
      {"en_GB.UTF-8", msEnglish},
      {"de_CH.UTF-8", msGerman},
      {"de_DE@euro", msGerman},
      {"pt_BR", msPortuguese},
      {"zh_TW.Big5", msChineseTraditional},
      {"zh_CN.GB2312", msChinese},
      {"zh_HK.UTF-8", msEnglish},
      {"zh", msEnglish},
      {"ca_ES.UTF-8", msEnglish},
      {"ru_RU.KOI8-R", msRussian},
      {"el_GR", msGreek},
      {"fa_IR", msFarsi},
      {"ja_JP.eucJP", msJapanese},
      {"ko_KR.UTF-8", msKorean},
      {"hu_HU", msHungarian},
      {"tr_TR", msTurkish},
      {"sv_FI", msSwedish},
      {"nl_BE", msDutch},
      {"xx_YY", msEnglish},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lang);
    LocaleScope scope(nullptr, nullptr, c.lang);
    EXPECT_EQ(LanguageIdToMsgLanguage(SystemLanguageId()), c.row);
    EXPECT_EQ(GetLocalizedWord(0, msSystem), LocalizedWords[c.row][0]);
  }
  // Language and sub-language ids: Swiss German is primary 7, Hong Kong Chinese sub-language 3.
  EXPECT_EQ(LocaleNameToLanguageId("de_CH") & 0x3FF, 7);
  EXPECT_EQ(LocaleNameToLanguageId("zh_HK") >> 10, 3);
  EXPECT_EQ(LocaleNameToLanguageId("ca") & 0x3FF, 3);
  EXPECT_EQ(LocaleNameToLanguageId(""), 9 | (1 << 10));
}

TEST(Words, LocaleVariablesAreReadInOrder) {
  {
    LocaleScope scope("fr_FR", "de_DE", "it_IT");
    EXPECT_EQ(Word(0, msSystem), "Prévisualisation");
  }
  {
    LocaleScope scope("", "de_DE", "it_IT");  // an empty variable counts as not set
    EXPECT_EQ(Word(0, msSystem), "Vorschau");
  }
  {
    LocaleScope scope(nullptr, nullptr, "it_IT");
    EXPECT_EQ(Word(0, msSystem), "Anteprima");
  }
  {
    LocaleScope scope(nullptr, nullptr, nullptr);
    EXPECT_EQ(Word(0, msSystem), "Preview");
  }
}

TEST(Words, BytesInvalidInTheCodePageAreStoredAsFarAsTheyConvert) {
  struct Case {
    TMsgLanguage language;
    std::string bytes;
    std::u16string expected;
  };
  const Case cases[] = {
      // 0xAA is undefined in Windows-1253: replaced, the rest kept.
      {msGreek, "\xe1\xaa\xe2", u"\u03b1\uFFFD\u03b2"},
      // A lead byte of Shift-JIS cut short at the end.
      {msJapanese, std::string("ab\x82", 3), u"ab\uFFFD"},
      // A lead byte followed by a byte that is no trail byte.
      {msJapanese, std::string("\x82\x01z", 3), u"\uFFFD\u0001z"},
      // Undefined bytes of Windows-1252.
      {msGerman,
       "A\x81"
       "B",
       u"A\uFFFDB"},
      // Big5 lead byte without its trail, then ASCII.
      {msChineseTraditional, std::string("\xa4", 1), u"\uFFFD"},
      {msKorean, "", u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.language));
    const std::u16string before = LocalizedWords[c.language][5];
    SetLocalizedWord(c.language, 5, c.bytes);
    EXPECT_EQ(LocalizedWords[c.language][5], c.expected);
    SetLocalizedWordW(c.language, 5, before);
  }
  // Every byte value alone in every code page: no crash, at most one character each.
  for (int l = 0; l < kMsgLanguageCount; ++l) {
    const auto language = static_cast<TMsgLanguage>(l);
    const std::u16string before = LocalizedWords[l][7];
    for (int b = 0; b < 256; ++b) {
      SetLocalizedWord(language, 7, std::string(1, static_cast<char>(b)));
      EXPECT_LE(LocalizedWords[l][7].size(), 1u);
    }
    SetLocalizedWordW(language, 7, before);
  }
}
