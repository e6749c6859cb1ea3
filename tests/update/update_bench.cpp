// Times one update of a prepared installation with the real update worker, for
// tools/bench-update: the install root, the staging folder with the new release below
// "files" and a TEMP folder are given; prints the time from each step's status to the next
// ("phase <step> <ms>"), the whole ("total <ms>") and the outcome. The log goes to a file
// beside the TEMP folder. Never shipped.
//   update_bench.exe <install root> <staging folder> <temp folder> <backup level>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "base/win_text.h"
#include "install/files.h"
#include "install/registry_records.h"
#include "lang/language.h"
#include "log/log.h"
#include "state/state.h"
#include "workers/status_sink.h"
#include "workers/update_worker.h"

namespace {

using Clock = std::chrono::steady_clock;

class TimingSink : public StatusSink {
 public:
  void Status(const std::string& field, const std::string& value, bool ready) override {
    if (field != "lbInstall.Caption" && !ready) return;
    Close();
    step_ = ready ? std::string() : value;
    since_ = Clock::now();
  }
  void Message(const std::string& text) override { std::printf("message %s\n", text.c_str()); }
  void Close() {
    if (step_.empty()) return;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since_).count();
    std::printf("phase %s %lld\n", step_.c_str(), static_cast<long long>(ms));
    step_.clear();
  }

 private:
  std::string step_;
  Clock::time_point since_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: update_bench <install root> <staging> <temp> <backup level>\n");
    return 2;
  }
  ResetSetupState();
  LoadLanguageTextsFor("English", "lumora");
  InstallRec.InstPath = Narrow(argv[1]);
  InstallRec.FromDir = Narrow(argv[2]);
  TempDir = Narrow(argv[3]);
  InstallRec.Version = "2.5.0.0";
  InstallRec.Users = "all";
  InstallRec.Provider = "Palvoro Fax";
  InstallRec.Producer = "Palvoro";
  InstallRec.ApplicationName = "Orfeda update bench";
  SetupLog = TLog::CreateClean(TempDir + "\\update_bench.log");

  TimingSink sink;
  UpdateOptions options;
  options.cleanupPauseMs = 0;
  options.backupCompressionLevel = _wtoi(argv[4]);
  const auto start = Clock::now();
  const UpdateOutcome outcome = RunUpdate(sink, options);
  sink.Close();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  std::printf("total %lld\noutcome %d\n", static_cast<long long>(ms), static_cast<int>(outcome));
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE,
                  Widen(UninstallParentPath(IsWow64()).substr(1) + InstallRec.ApplicationName).c_str(),
                  KEY_WOW64_64KEY, 0);
  delete SetupLog;
  SetupLog = nullptr;
  return outcome == UpdateOutcome::Completed ? 0 : 1;
}
