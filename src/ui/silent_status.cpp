#include "ui/silent_status.h"

#include "ui/message_box.h"

namespace {
// A box nobody answers must not hold a deployment tool for ever.
constexpr unsigned kSilentMessageTimeoutMs = 60000;
}  // namespace

void SilentStatusSink::Status(const std::string&, const std::string&, bool) {}

void SilentStatusSink::Message(const std::string& text) {
  ShowTimedMessageBox(text, "Setup", kSilentMessageTimeoutMs);
}
