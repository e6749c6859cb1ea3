#include <gtest/gtest.h>

#include "state/state.h"
#include "lang/language.h"
#include "lang/partners.h"

namespace {

class Language : public ::testing::Test {
 protected:
  void SetUp() override { ClearLanguageTexts(); }
  void TearDown() override { ClearLanguageTexts(); }
};

TEST_F(Language, SwitchToGermanAndBack) {
  LoadLanguageTextsFor("English", "lumora");
  EXPECT_EQ(txtNext, "Next >");
  EXPECT_EQ(txtNeedDotNet, "NET Framework missing. At least Version 4.0 required!");
  EXPECT_EQ(txtWelcome, "Welcome to Palvoro Fax Setup");
  LoadLanguageTextsFor("German", "lumora");
  EXPECT_EQ(txtBack, "< Zur\xC3\xBC" "ck");
  EXPECT_EQ(txtNeedDotNet, "NET Framework nicht gefunden. Vorrausgesetzt: 4.0!");
  EXPECT_EQ(txtWelcome, "Willkommen zum Palvoro Fax Setup");
  EXPECT_EQ(txtSummaryIntro,
            "Das Setup hat die n\xC3\xB6tigen Informationen um die Installation "
            "durchzuf\xC3\xBChren.\r\n\r\nDr\xC3\xBC" "cken sie \"Installieren\" um zu beginnen.");
  LoadLanguageTextsFor("English", "lumora");
  EXPECT_EQ(txtBack, "< Back");
  EXPECT_EQ(txtCredentialsCaption, "Please Enter your Lumora Credentials");
  EXPECT_EQ(txtNoWritePermission,
            "You dont have the permission to wright in your choosen folder.\n\r\n\rPlease "
            "choose another destination Folder.");
  // Same in both languages; the window title is never set.
  EXPECT_EQ(txtUpdate, "Update");
  EXPECT_EQ(txtVersion, "Version: ");
  EXPECT_EQ(txtWindowTitle, "");
}

// Every text exists in both languages; only the three the table leaves alone have neither.
TEST_F(Language, EveryTextHasBothLanguages) {
  std::size_t count = 0;
  const TLanguageText* table = LanguageTable(count);
  EXPECT_EQ(count, 83u);
  for (std::size_t i = 0; i < count; ++i) {
    const TLanguageText& t = table[i];
    const std::string name = t.name;
    if (name == "txtWindowTitle" || name == "txtWelcome" || name == "txtCredentialsCaption") {
      EXPECT_TRUE(!t.english && !t.german) << name;
      continue;
    }
    ASSERT_TRUE(t.english && t.german) << name;
    EXPECT_NE(std::string(t.english), "") << name;
    EXPECT_NE(std::string(t.german), "") << name;
  }
}

TEST_F(Language, OtherLanguagesLeaveEntriesAsTheyAre) {
  LoadLanguageTextsFor("French", "lumora");
  EXPECT_EQ(txtNeedAdmin, "");
  EXPECT_EQ(txtEnglish, "");
  LoadLanguageTextsFor("English", "lumora");
  LoadLanguageTextsFor("english", "lumora");  // exact comparison: nothing changes
  EXPECT_EQ(txtNeedAdmin, "You need administration rights to install this program!");
  // The global state starts in English with the build's partner.
  ResetSetupState();
  LoadLanguageTexts();
  EXPECT_EQ(txtUsername, "Username/Email");
}

TEST_F(Language, PartnerDependentEntries) {
  LoadLanguageTextsFor("German", "perlune");
  EXPECT_EQ(txtWelcome, "Willkommen zum\r\nVantreo Cloudline Fax Setup");
  EXPECT_EQ(txtUsername, "Benutzername");
  EXPECT_EQ(txtCredentialsCaption, "Faxzugangsdaten ");
  LoadLanguageTextsFor("English", "perlune");
  EXPECT_EQ(txtWelcome, "Welcome to Vantreo Cloudline Fax Setup");
  // An unknown partner gets the default user name label and keeps the other two.
  LoadLanguageTextsFor("English", "nobody");
  EXPECT_EQ(txtUsername, "Username/Email");
  EXPECT_EQ(txtWelcome, "Welcome to Vantreo Cloudline Fax Setup");
}

TEST(Partners, RowsAndPlatformTags) {
  ASSERT_EQ(PartnerRows().size(), 5u);
  const TPartnerRow* solvik = FindPartnerRow("solvik");
  ASSERT_TRUE(solvik);
  EXPECT_EQ(solvik->LoginLogo, "Logo_Brixaro");
  EXPECT_EQ(solvik->PageLogo, "Logo_Solvik");
  const TPartnerRow* perlune = FindPartnerRowForPlatformTag("perlune", "zembrapbx");
  ASSERT_TRUE(perlune);
  EXPECT_EQ(perlune->Provider, "Perlune GmbH");
  EXPECT_EQ(perlune->PrinterName, "Vantreo Cloudline Fax");
  EXPECT_TRUE(FindPartnerRowForPlatformTag("lumora", "kqx"));
  EXPECT_FALSE(FindPartnerRowForPlatformTag("lumora", "KQX"));
  EXPECT_FALSE(FindPartnerRowForPlatformTag("lumora", "dravin"));
  EXPECT_FALSE(FindPartnerRow("Lumora"));
}

}  // namespace
