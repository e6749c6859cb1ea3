#pragma once
// Encoding of request values: percent-encoding for URLs and form bodies, and JSON string
// literals for JSON bodies. Servers decode both back to the value as given.
#include <string>
#include <string_view>

// Every byte except the unreserved characters A-Z a-z 0-9 - . _ ~ becomes %XX (upper-case
// hex), so a value cannot end a query parameter or a path segment early.
std::string UrlEncode(std::string_view value);

// The value as a JSON string literal: enclosing quotes, and ", \ and control characters
// escaped. Other bytes (UTF-8) pass unchanged.
std::string JsonString(std::string_view value);
