#include "ui/silent_status.h"

#include "state/state.h"
#include "ui/message_box.h"

void SilentStatusSink::Status(const std::string&, const std::string&, bool) {}

void SilentStatusSink::Message(const std::string& text) {
  // A box nobody answers must not hold a deployment tool for ever.
  ShowTimedMessageBox(text, "Setup", UnattendedBoxTimeoutMs);
}
