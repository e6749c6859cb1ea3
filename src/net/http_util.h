#pragma once
// Portable pieces of the HTTP transport: reading answer headers, judging content types,
// naming WinHTTP errors, and progress percentages.
#include <cstdint>
#include <string>
#include <string_view>

namespace httputil {

// Value of the header `name` in a raw header block ("Name: value" lines separated by CR LF,
// the status line first). Names are compared without regard to letter case; when a header
// occurs more than once the last one wins. Empty when absent.
std::string HeaderValue(std::string_view rawHeaders, std::string_view name);

// True when an answer of this content type is text: the type contains "text" or "json"
// (letter case ignored, as media types are case-insensitive).
bool IsTextContentType(std::string_view contentType);

// "<meaning> (WinHTTP error <code>: <NAME>)" for WinHTTP's own codes (12001..12190); for
// other codes "" (the caller asks the system for its text).
std::string WinHttpErrorText(uint32_t code);

// Percentage of done out of total, 0..100; 0 when the total is unknown (0).
int PercentDone(uint64_t done, uint64_t total);

// Splits "host[:port]" of a proxy setting; keeps defaultPort when none is given.
// A "http://" prefix and a trailing "/" are dropped.
void SplitProxyServer(std::string_view server, int defaultPort, std::string& host, int& port);

}  // namespace httputil
