#include "net/json_reader.h"

#include <nlohmann/json.hpp>

#include "base/errors.h"
#include "net/url_encode.h"

// Receives the parser's events and appends nodes to the reader's tree in document order.
class JsonTreeBuilder : public nlohmann::json_sax<nlohmann::json> {
 public:
  using Node = TJSONReader::Node;
  using Kind = TJSONReader::Kind;

  explicit JsonTreeBuilder(std::vector<Node>& nodes) : nodes_(nodes) {}

  bool null() override { return Scalar(Kind::Literal, "null"); }
  bool boolean(bool v) override { return Scalar(Kind::Literal, v ? "true" : "false"); }
  bool number_integer(number_integer_t v) override { return Scalar(Kind::Literal, std::to_string(v)); }
  bool number_unsigned(number_unsigned_t v) override { return Scalar(Kind::Literal, std::to_string(v)); }
  bool number_float(number_float_t, const string_t& raw) override { return Scalar(Kind::Literal, raw); }
  bool string(string_t& v) override { return Scalar(Kind::String, std::move(v)); }
  bool binary(binary_t&) override { return Fail("binary values are not JSON"); }
  bool start_object(std::size_t) override { return Open(Kind::Object); }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(Kind::Array); }
  bool end_array() override { return Close(); }
  bool key(string_t& k) override {
    key_ = std::move(k);
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& ex) override {
    // The library's message starts with its own "[json.exception...] " tag.
    std::string what = ex.what();
    auto tagEnd = what.find("] ");
    return Fail(tagEnd == std::string::npos ? what : what.substr(tagEnd + 2));
  }

  const std::string& error() const { return error_; }

 private:
  int Add(Kind kind, std::string value) {
    Node n;
    n.kind = kind;
    n.value = std::move(value);
    if (!open_.empty()) {
      n.parent = open_.back();
      if (nodes_[n.parent].kind == Kind::Object) n.name = std::move(key_);
      key_.clear();
    } else {
      n.name = "json";
    }
    int index = static_cast<int>(nodes_.size());
    nodes_.push_back(std::move(n));
    if (nodes_[index].parent >= 0) nodes_[nodes_[index].parent].children.push_back(index);
    return index;
  }
  bool Scalar(Kind kind, std::string value) {
    if (Full()) return false;
    Add(kind, std::move(value));
    return true;
  }
  bool Open(Kind kind) {
    if (static_cast<int>(open_.size()) >= TJSONReader::kMaxDepth)
      return Fail("nesting deeper than " + std::to_string(TJSONReader::kMaxDepth) + " levels");
    if (Full()) return false;
    open_.push_back(Add(kind, {}));
    return true;
  }
  bool Close() {
    open_.pop_back();
    return true;
  }
  bool Full() {
    if (nodes_.size() < TJSONReader::kMaxNodes) return false;
    Fail("more than " + std::to_string(TJSONReader::kMaxNodes) + " values");
    return true;
  }
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }

  std::vector<Node>& nodes_;
  std::vector<int> open_;
  std::string key_;
  std::string error_;
};

void TJSONReader::Input(const std::string& text) {
  nodes_.clear();
  current_ = -1;
  if (text.size() > kMaxDocumentSize)
    throw EJSONError("Invalid JSON document: larger than " + std::to_string(kMaxDocumentSize) + " bytes");
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) return;

  JsonTreeBuilder builder(nodes_);
  bool ok = false;
  try {
    ok = nlohmann::json::sax_parse(text, &builder);
  } catch (const std::exception& e) {
    builder.parse_error(0, {}, nlohmann::detail::other_error::create(501, e.what(), nullptr));
  }
  if (!ok || nodes_.empty()) {
    nodes_.clear();
    std::string why = builder.error().empty() ? std::string("no value") : builder.error();
    throw EJSONError("Invalid JSON document: " + why);
  }
  current_ = 0;
}

int TJSONReader::Resolve(const std::string& path) const {
  if (nodes_.empty()) return -1;
  std::size_t pos = 0;
  int node = current_;
  bool first = true;
  if (!path.empty() && path[0] == '/') {
    if (path.compare(1, 4, "json") != 0 || (path.size() > 5 && path[5] != '/')) return -1;
    node = 0;
    pos = 5;
    first = false;
    if (pos < path.size()) ++pos;  // the "/" after "json"
  }
  while (pos < path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    std::string_view seg(path.data() + pos, end - pos);
    bool last = end >= path.size() - 1;  // nothing, or only a trailing "/", follows
    pos = end + 1;
    if (seg.empty()) {
      if (!last) return -1;
      break;
    }
    if (first && node == 0 && seg == "json") {
      first = false;
      continue;
    }
    first = false;
    const Node& n = nodes_[node];
    if (seg.size() >= 3 && seg.front() == '[' && seg.back() == ']') {
      std::string_view digits = seg.substr(1, seg.size() - 2);
      if (digits.empty() || digits.size() > 9) return -1;
      long index = 0;
      for (char c : digits) {
        if (c < '0' || c > '9') return -1;
        index = index * 10 + (c - '0');
      }
      if (index < 1 || index > static_cast<long>(n.children.size())) return -1;
      node = n.children[index - 1];
      continue;
    }
    if (n.kind != Kind::Object) return -1;
    int found = -1;
    for (int child : n.children) {
      if (nodes_[child].name == seg) {
        found = child;
        break;
      }
    }
    if (found < 0) return -1;
    node = found;
  }
  return node;
}

bool TJSONReader::HasXPath(const std::string& path) const { return Resolve(path) >= 0; }

void TJSONReader::XPath(const std::string& path) {
  int node = Resolve(path);
  if (node < 0) throw EJSONError("No JSON value at path \"" + path + "\"");
  current_ = node;
}

std::string TJSONReader::XPath() const {
  if (current_ < 0) return {};
  std::string path;
  for (int node = current_; nodes_[node].parent >= 0; node = nodes_[node].parent) {
    const Node& parent = nodes_[nodes_[node].parent];
    std::size_t i = 0;
    while (parent.children[i] != node) ++i;
    path = "/[" + std::to_string(i + 1) + "]" + path;
  }
  return "/json" + path;
}

const TJSONReader::Node& TJSONReader::Current() const {
  if (current_ < 0) throw EJSONError("The JSON document is empty");
  return nodes_[current_];
}

const TJSONReader::Node& TJSONReader::ChildOf(const Node& n, int i) const {
  if (i < 0 || i >= static_cast<int>(n.children.size()))
    throw EJSONError("JSON child index " + std::to_string(i) + " out of range");
  return nodes_[n.children[i]];
}

std::string TJSONReader::XText() const { return TextOf(current_ < 0 ? -1 : current_); }

int TJSONReader::XChildrenCount() const {
  return current_ < 0 ? 0 : static_cast<int>(nodes_[current_].children.size());
}

std::string TJSONReader::XChildName(int i) const { return ChildOf(Current(), i).name; }

std::string TJSONReader::XChildXText(int i) const {
  const Node& n = Current();
  ChildOf(n, i);
  return TextOf(n.children[i]);
}

std::string TJSONReader::XElement() const { return Current().name; }

std::string TJSONReader::TextOf(int index) const {
  if (index < 0) throw EJSONError("The JSON document is empty");
  std::string out;
  AppendText(index, out);
  return out;
}

// Depth is bounded by kMaxDepth, so the recursion is too.
void TJSONReader::AppendText(int index, std::string& out) const {
  const Node& n = nodes_[index];
  switch (n.kind) {
    case Kind::Literal: out += n.value; return;
    case Kind::String: out += '"'; out += n.value; out += '"'; return;
    case Kind::Object:
    case Kind::Array: {
      bool object = n.kind == Kind::Object;
      out += object ? '{' : '[';
      bool comma = false;
      for (int child : n.children) {
        if (comma) out += ',';
        comma = true;
        if (object) {
          out += JsonString(nodes_[child].name);
          out += ':';
        }
        AppendText(child, out);
      }
      out += object ? '}' : ']';
      return;
    }
  }
}

std::string stripQuotes(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '"') out += c;
  return out;
}

bool ReadText(TJSONReader& r, const std::string& path, std::string& out) {
  if (!r.HasXPath(path)) return false;
  r.XPath(path);
  out = r.XText();
  return true;
}

bool ReadStripped(TJSONReader& r, const std::string& path, std::string& out) {
  if (!ReadText(r, path, out)) return false;
  out = stripQuotes(out);
  return true;
}
