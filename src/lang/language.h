#pragma once
// The interface texts: one process-wide entry per text, filled in the current language by
// LoadLanguageTexts. Pages copy what they need when they are created.
#include <cstddef>
#include <string>

#define ORFEDA_TEXT(name, english, german) extern std::string name;
#include "lang/texts.inc"
#undef ORFEDA_TEXT

// Fills every entry for LanguageName ("English" or "German") and PartnerTag. Any other
// language name leaves every entry as it is (empty at program start).
void LoadLanguageTexts();
// The same for a given language name and partner tag.
void LoadLanguageTextsFor(const std::string& languageName, const std::string& partnerTag);

// Puts every entry back to empty (for tests: the program starts with empty entries).
void ClearLanguageTexts();

// One entry of the table: its name, the entry itself and its two texts (nullptr where the
// language table leaves the entry alone).
struct TLanguageText {
  const char* name;
  std::string* entry;
  const char* english;
  const char* german;
};
// Every entry, in the table's order.
const TLanguageText* LanguageTable(std::size_t& count);
