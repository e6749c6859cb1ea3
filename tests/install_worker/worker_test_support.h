#pragma once
// What the install and finish worker tests share: a sink that records what a worker
// reports, registry reads in the 64-bit view, and an install record of a test's own whose
// traces (keys, uninstall entry, environment variable) are removed afterwards.
#include <windows.h>

#include <string>
#include <vector>

#include "workers/status_sink.h"

class RecordingSink : public StatusSink {
 public:
  void Status(const std::string& field, const std::string& value, bool ready) override {
    statuses.push_back(field + "=" + value + (ready ? " (ready)" : ""));
  }
  void Message(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> statuses;
  std::vector<std::string> messages;
};

// A string value read in the 64-bit view at the literal path; empty when missing.
std::string RegText(HKEY hive, const std::string& path, const std::string& name);
bool RegKeyExists(HKEY hive, const std::string& path);

// The literal (64-bit view) path of the product key of InstallRec below HKLM, where a
// 32-bit program's HKLM\Software lands.
std::string MachineProductKey();
// The literal path of InstallRec's Windows uninstall entry (either hive).
std::string UninstallEntryKey();

// Sets InstallRec to an installation of this test run's own (provider and application names
// carry the process id, the install root lies in `folder`) and, when destroyed, removes its
// registry keys and puts ORFEDAINSTALLPATH back as it was.
class TestInstallation {
 public:
  explicit TestInstallation(const std::string& folder);
  ~TestInstallation();
  TestInstallation(const TestInstallation&) = delete;
  TestInstallation& operator=(const TestInstallation&) = delete;

 private:
  std::wstring environment_;
  bool hadEnvironment_ = false;
};

// The lines of `expected` not found in `lines` in this order; empty when all are. An expected
// line ending in "*" matches any line it starts.
std::vector<std::string> MissingInOrder(const std::vector<std::string>& lines,
                                        const std::vector<std::string>& expected);
