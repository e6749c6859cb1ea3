// The download over byte ranges against a scripted server: the file arrives whole and in its
// place over up to four connections, a server without ranges is fetched in one stream, and
// every answer that does not add up fails the download.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "net/ranged_download.h"

namespace {

struct RangeServer {
  std::string file;
  bool ranges = true;          // answers a Range with 206
  bool siblings = true;        // the transport offers more connections
  std::string textAnswer;      // not empty: every answer is this JSON text
  uint64_t claimedTotal = 0;   // not 0: the total size given in every Content-Range
  bool wrongLaterRange = false;  // ranges after the first come back shifted by one byte
  bool breakLaterRange = false;  // ranges after the first stop halfway
  std::atomic<int> requests{0};
  std::mutex askedMu;
  std::vector<uint64_t> asked;  // the first byte of each request, in the order they came
  std::atomic<int> running{0};
  std::atomic<int> mostAtOnce{0};
};

class RangeTransport : public IHttpTransport {
 public:
  RangeServer& s;
  explicit RangeTransport(RangeServer& server) : s(server) {}

  std::string getStream(const std::string&, const std::string& headers,
                        const std::function<void(const StreamHead&)>& onHead, const BodyChunk& onData) override {
    ++s.requests;
    const int now = ++s.running;
    int most = s.mostAtOnce;
    while (now > most && !s.mostAtOnce.compare_exchange_weak(most, now)) {
    }
    struct Leave {
      RangeServer& s;
      ~Leave() { --s.running; }
    } leave{s};
    StreamHead head;
    if (!s.textAnswer.empty()) {
      head.status = 200;
      head.contentType = "application/json";
      onHead(head);
      return s.textAnswer;
    }
    head.contentType = "application/zip";
    uint64_t first = 0, last = s.file.empty() ? 0 : s.file.size() - 1;
    const std::string prefix = "Range: bytes=";
    bool ranged = false;
    if (s.ranges && headers.rfind(prefix, 0) == 0) {
      first = std::stoull(headers.substr(prefix.size()));
      {
        std::lock_guard lock(s.askedMu);
        s.asked.push_back(first);
      }
      last = std::min<uint64_t>(std::stoull(headers.substr(headers.find('-') + 1)), s.file.size() - 1);
      if (s.file.empty() || first >= s.file.size()) {
        head.status = 416;
        head.contentRange = "bytes */" + std::to_string(s.file.size());
        onHead(head);
        return {};
      }
      ranged = true;
    }
    const bool later = ranged && first > 0;
    uint64_t shownFirst = first + (later && s.wrongLaterRange ? 1 : 0);
    head.status = ranged ? 206 : 200;
    if (ranged)
      head.contentRange = "bytes " + std::to_string(shownFirst) + "-" + std::to_string(last) + "/" +
                          std::to_string(s.claimedTotal ? s.claimedTotal : s.file.size());
    const uint64_t length = s.file.empty() ? 0 : last - first + 1;
    head.contentLength = static_cast<int64_t>(length);
    onHead(head);
    const uint64_t sendUntil = first + (later && s.breakLaterRange ? length / 2 : length);
    for (uint64_t at = first; at < sendUntil;) {
      const uint64_t piece = std::min<uint64_t>(64 * 1024, sendUntil - at);
      onData(s.file.data() + at, piece);
      at += piece;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    if (sendUntil < first + length) throw EHTTPError("The connection was closed before the whole answer arrived");
    return {};
  }
  std::unique_ptr<IHttpTransport> sibling() const override {
    return s.siblings ? std::make_unique<RangeTransport>(s) : nullptr;
  }

  std::string get(const std::string&) override { return {}; }
  std::string get(const std::string&, const std::string&) override { return {}; }
  std::string post(const std::string&, const std::string&) override { return {}; }
  std::string post(const std::string&, const std::string&, const std::string&, const std::string&) override { return {}; }
  std::string del(const std::string&) override { return {}; }
  void setTimeout(int) override {}
  void setProgressListener(ProgressListener) override {}
  std::string lastResponse() const override { return {}; }
  std::string contentType() const override { return {}; }
  std::string contentDisposition() const override { return {}; }
  void setProxyAutoDetect(bool) override {}
  void setProxyUsername(const std::string&) override {}
  void setProxyPassword(const std::string&) override {}
  void setProxyServer(const std::string&) override {}
  void setProxyPort(int) override {}
};

class MemoryTarget : public IDownloadTarget {
 public:
  void Expect(uint64_t size) override {
    std::lock_guard lock(mu);
    if (written == 0) expected = static_cast<int64_t>(size);
  }
  void Write(uint64_t offset, const char* data, size_t size) override {
    std::lock_guard lock(mu);
    if (bytes.size() < offset + size) bytes.resize(offset + size);
    std::copy(data, data + size, bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    written += size;
  }
  std::mutex mu;
  std::string bytes;
  uint64_t written = 0;
  int64_t expected = -1;  // the size told before the first byte arrived
};

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

RangedDownloadLimits SmallLimits() {
  RangedDownloadLimits l;
  l.firstRange = 256 * 1024;
  l.minPart = 1024 * 1024;
  return l;
}

TEST(RangedDownload, ArrivesWholeOverTheConnectionsTheServerAllows) {
  struct Case {
    const char* name;
    size_t size;
    bool ranges, siblings;
    int connections;
  } cases[] = {
      {"ranged, four connections", 9 * 1024 * 1024 + 12345, true, true, 4},
      {"ranged, rest fits one part", 1024 * 1024, true, true, 1},
      {"ranged, file within the first range", 1000, true, true, 1},
      {"ranged, no further connection", 6 * 1024 * 1024 + 1, true, false, 1},
      {"no ranges: one stream", 5 * 1024 * 1024 + 7, false, true, 1},
      {"empty file", 0, true, true, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RangeServer server;
    server.file = Pattern(c.size);
    server.ranges = c.ranges;
    server.siblings = c.siblings;
    RangeTransport http(server);
    MemoryTarget target;
    const RangedDownloadResult r = DownloadRanged(http, "https://x/f", target, SmallLimits());
    EXPECT_FALSE(r.refused);
    EXPECT_EQ(r.size, c.size);
    EXPECT_EQ(r.connections, c.connections);
    EXPECT_EQ(target.written, c.size);  // every byte once
    EXPECT_TRUE(target.bytes == server.file);
    EXPECT_LE(server.mostAtOnce.load(), 4);
    EXPECT_EQ(target.expected, static_cast<int64_t>(c.size));  // the size comes before the bytes
  }
}

// The file's end (where a ZIP archive keeps its directory) is asked for right after the first
// range, then the rest in the file's order, so that a reader following the bytes from the
// start finds them with few gaps.
TEST(RangedDownload, AsksForTheEndFirstThenTheRestInOrder) {
  RangeServer server;
  server.file = Pattern(20 * 1024 * 1024 + 5);
  RangeTransport http(server);
  MemoryTarget target;
  RangedDownloadLimits limits = SmallLimits();
  limits.tailRange = 64 * 1024;
  const RangedDownloadResult r = DownloadRanged(http, "https://x/f", target, limits);
  EXPECT_TRUE(target.bytes == server.file);
  EXPECT_EQ(r.connections, 4);
  ASSERT_GE(server.asked.size(), 4u);
  EXPECT_EQ(server.asked[0], 0u);
  // Each connection takes the next part, so the order in which the requests reach the server
  // differs from the parts' order only among requests made at about the same time (at most
  // one per connection).
  const uint64_t tail = server.file.size() - limits.tailRange;
  std::vector<uint64_t> rest(server.asked.begin() + 1, server.asked.end());
  const auto tailAt = std::find(rest.begin(), rest.end(), tail);
  ASSERT_NE(tailAt, rest.end());
  EXPECT_LT(tailAt - rest.begin(), r.connections);
  rest.erase(tailAt);
  std::vector<uint64_t> sorted = rest;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < rest.size(); ++i) {
    const auto place = std::find(sorted.begin(), sorted.end(), rest[i]) - sorted.begin();
    EXPECT_LT(std::abs(static_cast<long>(place) - static_cast<long>(i)), r.connections) << "request " << i;
  }
  EXPECT_EQ(rest.size(), 20u);  // (20 MiB + 5 - 256 KiB - 64 KiB) in parts of 1 MiB
}

TEST(RangedDownload, ARefusalIsReturnedAndNothingWritten) {
  RangeServer server;
  server.file = Pattern(1000);
  server.textAnswer = R"({"success":false,"message":"Download not allowed"})";
  RangeTransport http(server);
  MemoryTarget target;
  const RangedDownloadResult r = DownloadRanged(http, "https://x/f", target, SmallLimits());
  EXPECT_TRUE(r.refused);
  EXPECT_EQ(r.text, server.textAnswer);
  EXPECT_EQ(target.written, 0u);
}

TEST(RangedDownload, AnswersThatDoNotAddUpFailTheDownload) {
  struct Case {
    const char* name;
    void (*set)(RangeServer&);
    uint64_t maxSize;
  } cases[] = {
      {"a total above the limit", [](RangeServer&) {}, 4 * 1024 * 1024},
      {"a total larger than the file", [](RangeServer& s) { s.claimedTotal = s.file.size() + 1000; }, 8ull << 30},
      {"a later range shifted", [](RangeServer& s) { s.wrongLaterRange = true; }, 8ull << 30},
      {"a later range broken", [](RangeServer& s) { s.breakLaterRange = true; }, 8ull << 30},
      {"a stream above the limit", [](RangeServer& s) { s.ranges = false; }, 4 * 1024 * 1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RangeServer server;
    server.file = Pattern(6 * 1024 * 1024);
    c.set(server);
    RangeTransport http(server);
    MemoryTarget target;
    RangedDownloadLimits limits = SmallLimits();
    limits.maxSize = c.maxSize;
    EXPECT_THROW(DownloadRanged(http, "https://x/f", target, limits), EHTTPError);
  }
}

TEST(RangedDownload, ContentRangeIsReadStrictly) {
  struct Case {
    const char* text;
    bool ok;
    uint64_t first, last, total;
  } cases[] = {
      {"bytes 0-99/100", true, 0, 99, 100},
      {"bytes 5-5/6", true, 5, 5, 6},
      {"bytes 0-100/100", false, 0, 0, 0},
      {"bytes 9-3/100", false, 0, 0, 0},
      {"bytes 0-99/*", false, 0, 0, 0},
      {"bytes */100", false, 0, 0, 0},
      {"bytes -1-99/100", false, 0, 0, 0},
      {"items 0-99/100", false, 0, 0, 0},
      {"bytes 0-99/100 ", false, 0, 0, 0},
      {"bytes 0-99/9999999999999999999999", false, 0, 0, 0},
  };
  for (const auto& c : cases) {
    uint64_t first = 0, last = 0, total = 0;
    EXPECT_EQ(rangeddownload::ParseContentRange(c.text, first, last, total), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(first, c.first);
      EXPECT_EQ(last, c.last);
      EXPECT_EQ(total, c.total);
    }
  }
}

}  // namespace
