#pragma once
// The interface texts: one process-wide entry per text, filled in the current language by
// LoadLanguageTexts. Pages copy what they need when they are created.
#include <string>

extern std::string txtSave;
extern std::string txtSettings;
extern std::string txtCancel;
extern std::string txtNext;
extern std::string txtBack;
extern std::string txtClose;
extern std::string txtInstall;
extern std::string txtEnglish;
extern std::string txtGerman;
extern std::string txtUsername;
extern std::string txtPassword;
extern std::string txtVersion;
extern std::string txtPartnerVersion;
extern std::string txtWindowTitle;
extern std::string txtConfirmCancel;
extern std::string txtNeedAdmin;
extern std::string txtNeedDotNet;
extern std::string txtAppRunning;
extern std::string txtErrorRetry;
extern std::string txtWelcome;
extern std::string txtSetupGuide;
extern std::string txtDownloadIntro;
extern std::string txtComponentsIntro;
extern std::string txtSummaryIntro;
extern std::string txtFinishIntro;
extern std::string txtInstallIntro;
extern std::string txtMaintenanceIntro;
extern std::string txtCredentialsCaption;
extern std::string txtSelectLanguage;
extern std::string txtEnterCredentials;
extern std::string txtLoginIncorrect;
extern std::string txtNoData;
extern std::string txtGetMainData;
extern std::string txtGetPartnerData;
extern std::string txtAuthUser;
extern std::string txtAuthValidate;
extern std::string txtGetLatestVersion;
extern std::string txtListFiles;
extern std::string txtDownloading;
extern std::string txtDownloadFile;
extern std::string txtCheckMD5;
extern std::string txtChecksumIncorrect;
extern std::string txtExtracting;
extern std::string txtExtractError;
extern std::string txtDone;
extern std::string txtComponentsOk;
extern std::string txtGetDefinedVersion;
extern std::string txtPartnerAuthValidate;
extern std::string txtPartnerGetLatestVersion;
extern std::string txtPartnerListFiles;
extern std::string txtPartnerDownloading;
extern std::string txtPartnerDownloadFile;
extern std::string txtPartnerCheckMD5;
extern std::string txtPartnerChecksumIncorrect;
extern std::string txtPartnerExtracting;
extern std::string txtPartnerExtractError;
extern std::string txtPartnerDone;
extern std::string txtComponents;
extern std::string txtChooseOneComponent;
extern std::string txtChooseUsers;
extern std::string txtForAnyone;
extern std::string txtJustMe;
extern std::string txtBrowse;
extern std::string txtDestinationFolder;
extern std::string txtSelectDirectory;
extern std::string txtNoWritePermission;
extern std::string txtSummaryDestination;
extern std::string txtSummaryComponents;
extern std::string txtSummaryUser;
extern std::string txtInstalling;
extern std::string txtAdvanced;
extern std::string txtCreateShortcut;
extern std::string txtCreateStartMenu;
extern std::string txtAddAutoStart;
extern std::string txtProxyAutoDetection;
extern std::string txtEnableAutoDetection;
extern std::string txtReInstall;
extern std::string txtUpdate;
extern std::string txtUninstall;
extern std::string txtReInstallHint;
extern std::string txtUpdateHint;
extern std::string txtUninstallHint;

// Fills every entry for LanguageName ("English" or "German") and PartnerTag. Any other
// language name leaves every entry as it is (empty at program start).
void LoadLanguageTexts();
// The same for a given language name and partner tag.
void LoadLanguageTextsFor(const std::string& languageName, const std::string& partnerTag);

// Puts every entry back to empty (for tests: the program starts with empty entries).
void ClearLanguageTexts();
