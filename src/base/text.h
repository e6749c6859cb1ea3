#pragma once
// Portable text helpers. All text inside the program is UTF-8.
#include <string>
#include <string_view>
#include <vector>

namespace text {

// ASCII lower and upper case; other bytes stay as they are.
std::string ToLower(std::string_view s);
std::string ToUpper(std::string_view s);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
bool EndsWithNoCase(std::string_view s, std::string_view suffix);
std::string Trim(std::string_view s);
std::vector<std::string> Split(std::string_view s, char sep);
// Every occurrence of `from` replaced by `to`.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

// Windows path pieces, for paths held as text ("\" or "/" both separate).
std::string ExtractFileName(std::string_view path);
std::string ExtractFileDir(std::string_view path);  // without trailing separator
std::string ExtractFileExt(std::string_view path);  // with the dot, or empty
std::string ChangeFileExt(std::string_view path, std::string_view ext);
std::string IncludeTrailingBackslash(std::string_view path);
std::string ExcludeTrailingBackslash(std::string_view path);

}  // namespace text
