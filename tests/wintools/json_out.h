#pragma once
// A small streaming JSON writer for the tool's output: objects, arrays, strings (UTF-16 in,
// escaped UTF-8 out), integers, numbers with decimals, booleans and null.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "text_util.h"

class JsonOut {
 public:
  JsonOut& BeginObject() { return Open('{'); }
  JsonOut& EndObject() { return Close('}'); }
  JsonOut& BeginArray() { return Open('['); }
  JsonOut& EndArray() { return Close(']'); }

  JsonOut& Key(std::string_view key) {
    Separate();
    AppendQuoted(key);
    out_ += ':';
    afterKey_ = true;
    return *this;
  }
  JsonOut& String(const std::wstring& value) {
    Separate();
    AppendQuoted(Utf8(value));
    return *this;
  }
  JsonOut& Ascii(std::string_view value) {
    Separate();
    AppendQuoted(value);
    return *this;
  }
  JsonOut& Int(long long value) { return Raw(std::to_string(value)); }
  JsonOut& Number(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    return Raw(buf);
  }
  JsonOut& Bool(bool value) { return Raw(value ? "true" : "false"); }
  JsonOut& Null() { return Raw("null"); }

  // Shorthands for one member.
  JsonOut& Member(std::string_view key, const std::wstring& v) { return Key(key).String(v); }
  JsonOut& MemberInt(std::string_view key, long long v) { return Key(key).Int(v); }
  JsonOut& MemberBool(std::string_view key, bool v) { return Key(key).Bool(v); }

  const std::string& Text() const { return out_; }

 private:
  JsonOut& Open(char c) {
    Separate();
    out_ += c;
    first_.push_back(true);
    return *this;
  }
  JsonOut& Close(char c) {
    out_ += c;
    first_.pop_back();
    return *this;
  }
  JsonOut& Raw(std::string_view text) {
    Separate();
    out_ += text;
    return *this;
  }
  // A comma before every value or key except the first in its container and a key's value.
  void Separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!first_.empty()) {
      if (!first_.back()) out_ += ',';
      first_.back() = false;
    }
  }
  void AppendQuoted(std::string_view s) {
    out_ += '"';
    for (unsigned char c : s) {
      switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
          if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out_ += buf;
          } else {
            out_ += static_cast<char>(c);
          }
      }
    }
    out_ += '"';
  }

  std::string out_;
  std::vector<bool> first_;
  bool afterKey_ = false;
};
