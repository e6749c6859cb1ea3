// The host build has no windows: the log window never opens.
#include "log/log_form.h"

TLogForm* OpenLogForm(const std::string&, const std::string&, std::function<void()>) {
  return nullptr;
}
void LogFormAppend(TLogForm*, const std::string&) {}
void FreeLogForm(TLogForm*) {}
