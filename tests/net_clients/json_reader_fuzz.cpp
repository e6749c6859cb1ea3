// libFuzzer target: any byte string given to the JSON reader either parses or raises
// EJSONError; every node of a parsed document can be walked and read.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/errors.h"
#include "net/json_reader.h"

namespace {
void Walk(TJSONReader& r, const std::string& path, int depth) {
  r.XPath(path);
  (void)r.XText();
  (void)r.XElement();
  int n = r.XChildrenCount();
  for (int i = 0; i < n && i < 64; ++i) {
    (void)r.XChildName(i);
    (void)r.XChildXText(i);
  }
  if (depth < 8)
    for (int i = 1; i <= n && i <= 8; ++i) Walk(r, path + "/[" + std::to_string(i) + "]", depth + 1);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TJSONReader r;
  try {
    r.Input(text);
  } catch (const EJSONError&) {
    return 0;
  }
  if (!r.HasXPath("/json")) return 0;
  Walk(r, "/json", 0);
  // Paths taken from the input itself must never crash the resolver.
  (void)r.HasXPath(text.substr(0, 64));
  (void)stripQuotes(r.XText());
  return 0;
}
