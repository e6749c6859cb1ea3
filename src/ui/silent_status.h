#pragma once
// The status sink of a run without windows: statuses are dropped (the steps log what they
// do) and every message box closes itself after 60 seconds, so nobody has to be there.
#include "workers/status_sink.h"

class SilentStatusSink : public StatusSink {
 public:
  void Status(const std::string& field, const std::string& value, bool ready) override;
  void Message(const std::string& text) override;
};
