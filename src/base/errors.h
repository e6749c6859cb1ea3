#pragma once
// Errors raised inside the program. Log lines name an error by its class name followed by
// " : " and its message, so every error type knows its own class name.
#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  virtual const char* ClassName() const noexcept { return "Exception"; }
};

#define ORFEDA_DECLARE_ERROR(Name, Base)                                    \
  class Name : public Base {                                                \
   public:                                                                  \
    using Base::Base;                                                       \
    const char* ClassName() const noexcept override { return #Name; }       \
  }

// A failed Windows call; the message carries the system's text for the error code.
ORFEDA_DECLARE_ERROR(EOSError, Exception);
// A failed file read or write.
ORFEDA_DECLARE_ERROR(EInOutError, Exception);
// A failed HTTP request (connection, TLS, time-out, cancelled).
ORFEDA_DECLARE_ERROR(EHTTPError, Exception);
// A document that could not be read as JSON.
ORFEDA_DECLARE_ERROR(EJSONError, Exception);
// A ZIP engine failure that is raised rather than returned.
ORFEDA_DECLARE_ERROR(EZipError, Exception);

// Class name and message of any caught error, as "Name : message".
std::string DescribeError(const std::exception& e);
