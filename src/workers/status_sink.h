#pragma once
// How a worker reports to its page: (field, value, ready) messages, delivered in order,
// each handled before the worker goes on, and message boxes that return when closed.
// Workers hold no window code; the wizard's pages, the silent run and the tests each
// supply their own sink.
#include <string>

class StatusSink {
 public:
  virtual ~StatusSink() = default;
  // Hands one status to the page; returns after the page has handled it. `ready` means
  // the worker's work for the page is complete.
  virtual void Status(const std::string& field, const std::string& value, bool ready) = 0;
  // Shows an error message to the user; returns when it was closed.
  virtual void Message(const std::string& text) = 0;
};
