#include "lang/partners.h"

namespace {

const std::vector<TPartnerRow> kRows = {
    {"lumora", {"kqx", "solvik"}, "Palvoro Fax", "Palvoro", "Palvoro Fax", "Palvoro Fax",
     "Logo_Brixaro", "Logo_Brixaro"},
    {"solvik", {"kqx", "solvik"}, "Palvoro Fax", "Palvoro", "Palvoro Fax", "Palvoro Fax",
     "Logo_Brixaro", "Logo_Solvik"},
    {"dravin", {"dravin"}, "dravin GmbH", "dravin", "dravin-Fax", "dravin-Fax", "Logo_Dravin",
     "Logo_Dravin"},
    {"kelmo", {"kelmopbx"}, "Kelmo-Fax", "Kelmo", "Kelmo-Fax", "Kelmo-Fax", "Logo_Kelmopbx",
     "Logo_Kelmopbx"},
    {"perlune", {"zembrapbx"}, "Perlune GmbH", "Perlune", "Vantreo Cloudline Fax",
     "Vantreo Cloudline Fax", "Logo_Perlune", "Logo_Perlune"},
};

const std::vector<TPartnerTexts> kTexts = {
    {"lumora",
     {"Username/Email", "Welcome to Palvoro Fax Setup", "Please Enter your Lumora Credentials"},
     {"Benutzername/Email", "Willkommen zum Palvoro Fax Setup",
      "Bitte geben Sie ihre Login Daten ein"}},
    {"solvik",
     {"Username/Email", "Welcome to Palvoro Fax Setup", "Please Enter your Lumora Credentials"},
     {"Benutzername/Email", "Willkommen zum Palvoro Fax Setup",
      "Bitte geben Sie ihre Login Daten ein"}},
    {"dravin",
     {"Username", "Welcome to dravin-Fax Setup", "Credentials for fax-Printerdriver"},
     {"Benutzername", "Willkommen zum dravin-Fax Setup", "Faxzugangsdaten "}},
    {"kelmo",
     {"Username/Email", "Welcome to Kelmo-Fax Setup", "Credentials for fax-Printerdriver"},
     {"Benutzername/Email", "Willkommen zum Kelmo-Fax Setup", "Faxzugangsdaten "}},
    {"perlune",
     {"Username", "Welcome to Vantreo Cloudline Fax Setup", "Credentials for fax-Printerdriver"},
     {"Benutzername", "Willkommen zum\r\nVantreo Cloudline Fax Setup", "Faxzugangsdaten "}},
};

}  // namespace

const std::vector<TPartnerRow>& PartnerRows() { return kRows; }

const TPartnerRow* FindPartnerRow(const std::string& partnerTag) {
  for (const auto& row : kRows)
    if (row.PartnerTag == partnerTag) return &row;
  return nullptr;
}

const TPartnerRow* FindPartnerRowForPlatformTag(const std::string& partnerTag,
                                                const std::string& platformTag) {
  const TPartnerRow* row = FindPartnerRow(partnerTag);
  if (!row) return nullptr;
  for (const auto& tag : row->PlatformTags)
    if (tag == platformTag) return row;
  return nullptr;
}

const TPartnerTexts* FindPartnerTexts(const std::string& partnerTag) {
  for (const auto& t : kTexts)
    if (t.PartnerTag == partnerTag) return &t;
  return nullptr;
}
