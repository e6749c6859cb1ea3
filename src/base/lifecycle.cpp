#include "base/lifecycle.h"

#include <atomic>
#include <mutex>
#include <thread>

#include "base/lifecycle_signal.h"
#include "base/text.h"

namespace {
std::mutex g_titleLock;
std::string g_title;
std::atomic<bool> g_endRequested{false};
std::atomic<int> g_exitCode{0};
std::mutex g_uiThreadLock;
std::thread::id g_uiThread;
}  // namespace

std::string ApplicationTitle() {
  std::lock_guard<std::mutex> g(g_titleLock);
  return g_title;
}

void SetApplicationTitle(const std::string& title) {
  std::lock_guard<std::mutex> g(g_titleLock);
  g_title = title;
}

std::string DefaultTitleFromFileName(const std::string& fileName) {
  std::string name = text::ExtractFileName(fileName);
  name = name.substr(0, name.find('.'));
  if (name.size() > 1) name = name.substr(0, 1) + text::ToLower(name.substr(1));
  return name;
}

void RequestProgramEnd(int exitCode) {
  int none = 0;
  if (exitCode != 0) g_exitCode.compare_exchange_strong(none, exitCode);
  g_endRequested = true;
  SignalEndRequest();
}

bool EndRequested() { return g_endRequested; }

int ProgramExitCode() { return g_exitCode; }

void ResetEndRequest() {
  g_endRequested = false;
  g_exitCode = 0;
  ClearEndSignal();
}

void MarkUIThread() {
  std::lock_guard<std::mutex> g(g_uiThreadLock);
  g_uiThread = std::this_thread::get_id();
}

bool IsUIThread() {
  std::lock_guard<std::mutex> g(g_uiThreadLock);
  if (g_uiThread == std::thread::id()) g_uiThread = std::this_thread::get_id();
  return g_uiThread == std::this_thread::get_id();
}

#ifndef _WIN32
void SignalEndRequest() {}
void ClearEndSignal() {}
#endif
