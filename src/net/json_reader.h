#pragma once
// Path-addressed access to a JSON document.
//
// A document is parsed into an ordered tree that keeps, for each value, the text it is read
// as: a string with its enclosing double quotes (escapes decoded, UTF-8), a number, true,
// false or null as the bare literal. Objects and arrays read as their compact JSON text.
//
// Paths: "/json" is the document's top value, "/json/a/b" member b of member a. "[n]"
// is the n-th child of an object or array, counted from 1 in document order. A trailing
// "/" changes nothing. A path without the leading "/" is taken from the current position;
// at the top value a leading "json" segment names the top value itself, so right after
// Input "json/x" and "/json/x" name the same node. Member names compare exactly.
#include <cstddef>
#include <string>
#include <vector>

class TJSONReader {
 public:
  // Limits on what Input accepts; larger, deeper or fuller documents raise EJSONError. The
  // servers' answers are small (a file list, a fax list): a few MB and a few hundred
  // thousand values keep one hostile answer far from exhausting a 32-bit address space.
  static constexpr std::size_t kMaxDocumentSize = 4u * 1024 * 1024;
  static constexpr int kMaxDepth = 256;
  static constexpr std::size_t kMaxNodes = 200000;

  TJSONReader() = default;
  TJSONReader(const TJSONReader&) = delete;
  TJSONReader& operator=(const TJSONReader&) = delete;

  // Parses text as the reader's document and moves the current position to its top value.
  // An empty (or blank) text gives a document without nodes. Raises EJSONError with a
  // message when the text is not a JSON document or exceeds the limits; the reader is
  // then empty.
  void Input(const std::string& text);

  // Whether a node exists at path; the current position does not move.
  bool HasXPath(const std::string& path) const;
  // Moves the current position to the node at path; EJSONError when there is none.
  void XPath(const std::string& path);
  // Path of the current position, as an absolute path with "[n]" steps.
  std::string XPath() const;

  // The text of the node at the current position.
  std::string XText() const;
  // Number of members or elements of the current node (0 for a scalar).
  int XChildrenCount() const;
  // Name (member name; "" for an array element) and text of the i-th child, from 0.
  // EJSONError when i is out of range.
  std::string XChildName(int i) const;
  std::string XChildXText(int i) const;
  // Name of the current node: the member name, "json" for the top value, "" for an
  // array element.
  std::string XElement() const;

 private:
  enum class Kind { Object, Array, String, Literal };
  struct Node {
    Kind kind = Kind::Literal;
    int parent = -1;
    std::string name;   // member name, empty for array elements
    std::string value;  // decoded string value or literal text
    std::vector<int> children;
  };
  friend class JsonTreeBuilder;

  int Resolve(const std::string& path) const;  // node index or -1
  const Node& Current() const;
  const Node& ChildOf(const Node& n, int i) const;
  std::string TextOf(int index) const;
  void AppendText(int index, std::string& out) const;

  std::vector<Node> nodes_;  // nodes_[0] is the top value when the document is not empty
  int current_ = -1;
};

// The text with every double-quote character removed.
std::string stripQuotes(const std::string& text);

// The text of the node at path into `out`, the current position moving there; false (and
// `out` unchanged) when the document has no such node.
bool ReadText(TJSONReader& r, const std::string& path, std::string& out);
// The same, stripped of its double quotes (a string's value without them).
bool ReadStripped(TJSONReader& r, const std::string& path, std::string& out);
