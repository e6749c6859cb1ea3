#include "net/json_reader.h"

#include <gtest/gtest.h>

#include "base/errors.h"

namespace {

const char* const kDoc = R"({
  "success": true,
  "message": [ {"version": "2.0.0", "n": 12}, {"version": "1.9", "f": -1.50e3} ],
  "fax": { "report": { "r1": {"to": "+49"}, "r2": {} }, "esc": "a\"b\\c\/d\u00e9\ud83d\ude00" },
  "empty": [],
  "nothing": null,
  "s": "true"
})";

struct PathCase {
  const char* path;
  const char* text;  // nullptr: no node there
};

TEST(JsonReader, PathsAndNodeTexts) {
  const PathCase cases[] = {
      {"/json/success", "true"},
      {"/json/s", "\"true\""},
      {"/json/nothing", "null"},
      {"/json/message/[1]/version", "\"2.0.0\""},
      {"/json/message/[2]/version", "\"1.9\""},
      {"/json/message/[1]/n", "12"},
      {"/json/message/[2]/f", "-1.50e3"},  // numbers keep their written form
      {"/json/message/[2]/", "{\"version\":\"1.9\",\"f\":-1.50e3}"},
      {"/json/message/[3]", nullptr},
      {"/json/message/[0]", nullptr},
      {"/json/message/[x]", nullptr},
      {"/json/message/version", nullptr},  // names do not address array elements
      {"/json/[2]/[2]/version", "\"1.9\""},  // [n] counts object members too
      {"/json/fax/report/r1/to", "\"+49\""},
      {"/json/fax/esc", "\"a\"b\\c/d\xC3\xA9\xF0\x9F\x98\x80\""},  // escapes decoded to UTF-8
      {"/json/Success", nullptr},  // names compare exactly
      {"/json/empty", "[]"},
      {"json/fax/report/r2", "{}"},  // relative at the top value
      {"fax/report/r2", "{}"},
      {"/json//fax", nullptr},
      {"/jsonx", nullptr},
      {"/other/success", nullptr},
  };
  TJSONReader r;
  r.Input(kDoc);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ASSERT_EQ(r.HasXPath(c.path), c.text != nullptr);
    if (!c.text) {
      EXPECT_THROW(r.XPath(c.path), EJSONError);
      continue;
    }
    r.XPath(c.path);
    EXPECT_EQ(r.XText(), c.text);
    r.XPath("/json");  // back to the top so relative cases start there
  }
}

TEST(JsonReader, ChildrenNamesAndPosition) {
  TJSONReader r;
  r.Input(kDoc);
  r.XPath("json/fax/report");
  EXPECT_EQ(r.XChildrenCount(), 2);
  EXPECT_EQ(r.XChildName(0), "r1");
  EXPECT_EQ(r.XChildName(1), "r2");
  EXPECT_EQ(r.XChildXText(0), "{\"to\":\"+49\"}");
  EXPECT_THROW(r.XChildName(2), EJSONError);
  EXPECT_THROW(r.XChildXText(-1), EJSONError);
  EXPECT_EQ(r.XElement(), "report");
  // Relative paths go on from the current position; HasXPath does not move it.
  EXPECT_TRUE(r.HasXPath("r1/to"));
  EXPECT_EQ(r.XElement(), "report");
  r.XPath("/json/fax/report/[2]/");
  EXPECT_EQ(r.XElement(), "r2");
  EXPECT_EQ(r.XPath(), "/json/[3]/[1]/[2]");
  r.XPath("/json/message");
  EXPECT_EQ(r.XChildrenCount(), 2);
  EXPECT_EQ(r.XChildName(0), "");
  r.XPath("/json");
  EXPECT_EQ(r.XElement(), "json");
  EXPECT_EQ(r.XChildrenCount(), 6);
}

TEST(JsonReader, TopLevelScalarsAndEmptyText) {
  TJSONReader r;
  r.Input("\"abc\"");
  EXPECT_EQ(r.XText(), "\"abc\"");
  EXPECT_EQ(r.XChildrenCount(), 0);
  for (const char* blank : {"", "  \r\n"}) {
    r.Input(blank);
    EXPECT_FALSE(r.HasXPath("/json"));
    EXPECT_FALSE(r.HasXPath("json/x"));
    EXPECT_EQ(r.XChildrenCount(), 0);
    EXPECT_THROW(r.XText(), EJSONError);
  }
}

TEST(JsonReader, RejectsWhatIsNotJsonWithAMessage) {
  const std::string deep(TJSONReader::kMaxDepth + 1, '[');
  const std::string cases[] = {
      "<html>Bad gateway</html>", "{\"a\":1", "{\"a\":1} trailing", "{'a':1}", "[1,]",
      "\"bad utf8 \xC3\x28\"", deep + std::string(TJSONReader::kMaxDepth + 1, ']'), "{\"a\":1e999}",
  };
  TJSONReader r;
  for (const auto& text : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    r.Input("{\"old\":1}");
    try {
      r.Input(text);
      ADD_FAILURE() << "accepted";
    } catch (const EJSONError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Invalid JSON document: ", 0), 0u) << e.what();
      EXPECT_GT(std::string(e.what()).size(), 25u);
    }
    EXPECT_FALSE(r.HasXPath("/json/old"));  // the earlier document is gone
  }
  // At the limit itself the document is fine.
  const std::string atLimit(TJSONReader::kMaxDepth, '[');
  EXPECT_NO_THROW(r.Input(atLimit + std::string(TJSONReader::kMaxDepth, ']')));
  EXPECT_THROW(r.Input(std::string(TJSONReader::kMaxDocumentSize + 1, ' ')), EJSONError);
  // A small document of very many values: bounded by their number, not only by its size.
  std::string many = "[";
  for (std::size_t i = 0; i < TJSONReader::kMaxNodes; ++i) many += "0,";
  many += "0]";
  ASSERT_LT(many.size(), TJSONReader::kMaxDocumentSize);
  EXPECT_THROW(r.Input(many), EJSONError);
  // The array and kMaxNodes - 1 values are exactly at the limit.
  many = "[";
  for (std::size_t i = 0; i + 2 < TJSONReader::kMaxNodes; ++i) many += "0,";
  many += "0]";
  EXPECT_NO_THROW(r.Input(many));
}

TEST(JsonReader, StripQuotesRemovesEveryQuote) {
  EXPECT_EQ(stripQuotes("\"a\"b\"c\""), "abc");
  EXPECT_EQ(stripQuotes("plain"), "plain");
  EXPECT_EQ(stripQuotes(""), "");
}

}  // namespace
