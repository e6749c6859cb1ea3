#include "lang/language.h"

#include <iterator>

#include "lang/partners.h"
#include "state/state.h"

#define ORFEDA_TEXT(name, english, german) std::string name;
#include "lang/texts.inc"
#undef ORFEDA_TEXT

namespace {

const TLanguageText kTable[] = {
#define ORFEDA_TEXT(name, english, german) {#name, &name, english, german},
#include "lang/texts.inc"
#undef ORFEDA_TEXT
};

}  // namespace

const TLanguageText* LanguageTable(std::size_t& count) {
  count = std::size(kTable);
  return kTable;
}

void LoadLanguageTexts() { LoadLanguageTextsFor(LanguageName, PartnerTag); }

void LoadLanguageTextsFor(const std::string& languageName, const std::string& partnerTag) {
  const bool german = languageName == "German";
  if (!german && languageName != "English") return;
  for (const auto& t : kTable) {
    if (const char* text = german ? t.german : t.english) *t.entry = text;
  }
  if (const TPartnerTexts* p = FindPartnerTexts(partnerTag)) {
    const TPartnerLanguageTexts& t = german ? p->German : p->English;
    txtUsername = t.Username;
    txtWelcome = t.Welcome;
    txtCredentialsCaption = t.CredentialsCaption;
  }
}

void ClearLanguageTexts() {
  for (const auto& t : kTable) t.entry->clear();
}
