#include "app/command_line.h"

#include "state/state.h"
#include "base/text.h"

namespace {

class Args {
 public:
  explicit Args(const std::vector<std::string>& a) : a_(a) {}
  int count() const { return a_.empty() ? 0 : static_cast<int>(a_.size()) - 1; }
  // Argument i; beyond the count it reads as empty text.
  std::string operator[](int i) const {
    return i >= 1 && i <= count() ? a_[static_cast<size_t>(i)] : std::string();
  }
  // Whether argument i + 1 exists and does not start with "-": the value of an option.
  bool HasValueAfter(int i) const { return i < count() && !text::StartsWith((*this)[i + 1], "-"); }

 private:
  const std::vector<std::string>& a_;
};

struct SubOption {
  const char* name;
  std::string* field;
};

}  // namespace

std::string HelpText(const std::string& argument, const std::string& title) {
  const std::string crlf = "\r\n";
  return "Parameter \"" + argument + "\" unknown." + crlf + crlf +
         title + " Help" + crlf + crlf +
         "Possible Parameter" + crlf + crlf +
         "-debug : Start debug mode" + crlf + crlf +
         "-branch : stable or unstable" + crlf + crlf +
         "-logwin : Open logwin on startup" + crlf + crlf +
         "-shutdown : Force to close app" + crlf + crlf +
         "-appversion : Shows app version" + crlf + crlf +
         "-version: define version to install" + crlf + crlf +
         "-partnerversion : define a partnerversion" + crlf + crlf +
         "-silent : enter parameter for silent install" + crlf +
         "  /install path (if empty then standard path)" + crlf +
         "  /language (if empty then system language)" + crlf +
         "  /users (if empty then: all)" + crlf +
         "  /version (if empty then latest will be installed)" + crlf +
         "  /partnerversion (if empty then latest will be installed)";
}

void ParseArguments(const std::vector<std::string>& argv, TCommandLineUi& ui) {
  const Args arg(argv);
  const int count = arg.count();
  const SubOption subOptions[] = {
      {"/username", &InstallRec.Username}, {"/password", &InstallRec.Password},
      {"/path", &InstallRec.InstPath},     {"/branch", &Branch},
      {"/language", &InstallRec.Language}, {"/user", &InstallRec.Users},
      {"/version", &InstallRec.Version},   {"/partnerversion", &InstallRec.PartnerVersion},
  };

  int i = 1;
  while (i <= count) {
    const std::string a = ui.Lower(arg[i]);
    if (a == "-debug") {
      std::string candidate;
      const bool given = arg.HasValueAfter(i);
      if (given) {
        ++i;
        candidate = arg[i];
      } else if (!Unattended) {
        candidate = ui.AskDebugPassword();
      }
      if (candidate == kDebugPassword) {
        DebugMode = true;
      } else if (Unattended) {
        // Nobody would answer the dialog or read the box: the log tells instead.
        DebugModeRefusal = given ? "Wrong Debug Password. Debugging disabled."
                                 : "No debug password dialog in a silent run. Debugging disabled.";
      } else {
        ui.ShowMessage("Wrong Debug Password. Debugging disabled.");
      }
    } else if (a == "-branch" || a == "-version" || a == "-partnerversion") {
      std::string& target = a == "-branch"    ? Branch
                            : a == "-version" ? InstallRec.Version
                                              : InstallRec.PartnerVersion;
      if (arg.HasValueAfter(i)) {
        ++i;
        target = arg[i];
      }
    } else if (a == "-logwin") {
      // accepted; nothing more to do
    } else if (a == "-shutdown" || a == "-appversion") {
      ++i;  // its value is read again by HandleInstanceArguments
    } else if (a == "-silent") {
      SilentMode = true;
      for (;;) {
        bool matched = false;
        for (const auto& sub : subOptions) {
          if (i < count && text::StartsWith(arg[i + 1], sub.name)) {
            *sub.field = arg[i + 2];
            ++i;
            matched = true;
          }
        }
        // An option right after "-silent" (or after an unmatched word) ends the
        // sub-options and is read as an option, not passed over.
        if (!matched && i < count && text::StartsWith(arg[i + 1], "-")) break;
        ++i;
        if (!arg.HasValueAfter(i)) break;
      }
    } else {
      ui.ShowMessage(HelpText(arg[i], ui.Title()));
      ui.RequestProgramEnd(kExitUnknownArgument);
    }
    ++i;
  }
}

bool AsksForSilentRun(const std::vector<std::string>& argv, TCommandLineUi& ui) {
  const Args arg(argv);
  for (int i = 1; i <= arg.count(); ++i)
    if (ui.Lower(arg[i]) == "-silent") return true;
  return false;
}

unsigned UnattendedBoxTimeout(const std::string& overrideText) {
  constexpr unsigned kDefault = 60000;
  if (overrideText.empty() || overrideText.size() > 5) return kDefault;
  unsigned value = 0;
  for (char c : overrideText) {
    if (c < '0' || c > '9') return kDefault;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return value >= 1 && value <= kDefault ? value : kDefault;
}

void HandleInstanceArguments(const std::vector<std::string>& argv, TCommandLineUi& ui) {
  const Args arg(argv);
  int i = 1;
  while (i <= arg.count()) {
    const std::string a = ui.Lower(arg[i]);
    if (a == "-shutdown" && arg.HasValueAfter(i)) {
      ++i;
      ui.ShowMessage("shutdown : " + arg[i]);
    }
    if (a == "-appversion") {
      ui.ShowMessage("version : " + ui.AppVersion());
      ui.RequestProgramEnd(0);
    }
    ++i;
  }
}
