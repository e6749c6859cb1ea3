#pragma once
// The partner brandings: the product values written into an installation, the logos of
// the wizard pages and the three partner-dependent interface texts.
#include <string>
#include <vector>

struct TPartnerRow {
  std::string PartnerTag;
  std::vector<std::string> PlatformTags;  // tags the partner platform may report at login
  std::string Provider;
  std::string Producer;
  std::string PrinterName;
  std::string ApplicationName;
  std::string LoginLogo;  // bitmap resource of the login page
  std::string PageLogo;   // bitmap resource of every other page
};

struct TPartnerLanguageTexts {
  std::string Username;
  std::string Welcome;
  std::string CredentialsCaption;
};

struct TPartnerTexts {
  std::string PartnerTag;
  TPartnerLanguageTexts English;
  TPartnerLanguageTexts German;
};

// All rows, in table order.
const std::vector<TPartnerRow>& PartnerRows();

// The row of a build's partner tag, or nullptr when there is none.
const TPartnerRow* FindPartnerRow(const std::string& partnerTag);

// The row of the build's partner tag, but only when the tag the platform reported for an
// account is one of that row's platform tags; nullptr otherwise. Exact comparisons.
const TPartnerRow* FindPartnerRowForPlatformTag(const std::string& partnerTag,
                                                const std::string& platformTag);

// The partner-dependent texts for a partner tag, or nullptr when there are none.
const TPartnerTexts* FindPartnerTexts(const std::string& partnerTag);
