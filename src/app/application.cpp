#include "app/application.h"

#include <atomic>
#include <mutex>

#include "app/state.h"
#include "base/text.h"

namespace {
std::mutex g_titleLock;
std::string g_title;
std::atomic<bool> g_endRequested{false};
}  // namespace

// Wakes the message loop; the Windows build supplies it, the host build has no loop.
void WakeMessageLoop();

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
  if (exitCode != 0 && ExitCode == 0) ExitCode = exitCode;
  g_endRequested = true;
  WakeMessageLoop();
}

bool EndRequested() { return g_endRequested; }

void ResetEndRequest() { g_endRequested = false; }

#ifndef _WIN32
void WakeMessageLoop() {}
#endif
