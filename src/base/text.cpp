#include "base/text.h"

#include <algorithm>

namespace text {

namespace {
char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }
}  // namespace

std::string ToLower(std::string_view s) {
  std::string r(s);
  std::transform(r.begin(), r.end(), r.begin(), LowerChar);
  return r;
}

std::string ToUpper(std::string_view s) {
  std::string r(s);
  std::transform(r.begin(), r.end(), r.begin(), UpperChar);
  return r;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerChar(x) == LowerChar(y); });
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && EqualsNoCase(s.substr(s.size() - suffix.size()), suffix);
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return std::string(s.substr(b, e - b));
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t pos = s.find(sep, start);
    if (pos == std::string_view::npos) {
      parts.emplace_back(s.substr(start));
      return parts;
    }
    parts.emplace_back(s.substr(start, pos - start));
    start = pos + 1;
  }
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string r;
  size_t start = 0;
  for (size_t pos; (pos = s.find(from, start)) != std::string_view::npos; start = pos + from.size()) {
    r.append(s.substr(start, pos - start));
    r.append(to);
  }
  r.append(s.substr(start));
  return r;
}

std::string ExtractFileName(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsSeparator(path[i - 1])) --i;
  return std::string(path.substr(i));
}

std::string ExtractFileDir(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsSeparator(path[i - 1])) --i;
  if (i > 0 && path[i - 1] != ':') --i;  // keep "C:" but drop a trailing "\"
  return std::string(path.substr(0, i));
}

std::string ExtractFileExt(std::string_view path) {
  std::string name = ExtractFileName(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  std::string old = ExtractFileExt(path);
  return std::string(path.substr(0, path.size() - old.size())) + std::string(ext);
}

std::string IncludeTrailingBackslash(std::string_view path) {
  std::string r(path);
  if (r.empty() || r.back() != '\\') r += '\\';
  return r;
}

std::string ExcludeTrailingBackslash(std::string_view path) {
  std::string r(path);
  while (!r.empty() && (r.back() == '\\' || r.back() == '/')) r.pop_back();
  return r;
}

}  // namespace text
