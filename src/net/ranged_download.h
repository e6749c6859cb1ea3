#pragma once
// Downloading one file into a target that takes bytes at their offsets: over one stream, or,
// where the server answers byte ranges, the first range alone and the rest over up to four
// connections at once. The sizes the server gives are checked before anything is written.
#include <cstdint>
#include <string>

#include "net/transport.h"

// Where a download's bytes go.
class IDownloadTarget {
 public:
  virtual ~IDownloadTarget() = default;
  // `size` bytes at `offset` of the file. Several ranges may arrive at the same time, each on
  // a thread of its own; the bytes of one range arrive in order. May raise to stop the
  // download.
  virtual void Write(uint64_t offset, const char* data, size_t size) = 0;
  // The file's size, once an answer has given it (before its bytes arrive); may be told again
  // when a request is repeated. Not told when no answer gives the size.
  virtual void Expect(uint64_t size) { (void)size; }
};

struct RangedDownloadLimits {
  uint64_t maxSize = 8ull << 30;    // a larger file is refused
  uint64_t firstRange = 1u << 20;   // the range asked for first
  uint64_t tailRange = 1u << 20;    // the end of the file (a ZIP archive's directory), asked
                                    // for next when the rest holds more than this and a part
  uint64_t minPart = 8u << 20;      // the rest is split into ranges of this size
  int maxConnections = 4;           // connections at once, the first one's included
};

// What a download delivered.
struct RangedDownloadResult {
  bool refused = false;  // a text or JSON answer came instead of the file; nothing was written
  std::string text;      // its body
  uint64_t size = 0;     // the bytes written
  int connections = 0;   // connections that carried the file's bytes
};

// Fetches url into target. A server that answers the first range with 206 and the file's
// total size has the rest fetched in parallel ranges, each of which must come back exactly as
// asked: the file's end first, then the ranges in the file's order, each connection taking
// the next one not yet asked for, so the bytes from the start on arrive with few gaps. Any
// other answer is taken as the whole file in one stream. Raises EHTTPError when a
// request fails or breaks, when a range does not come back as asked, or when the file is
// larger than limits.maxSize; whatever the target raised passes on.
RangedDownloadResult DownloadRanged(IHttpTransport& http, const std::string& url, IDownloadTarget& target,
                                    const RangedDownloadLimits& limits = {});

namespace rangeddownload {
// "bytes <first>-<last>/<total>" with first <= last < total; false for anything else.
bool ParseContentRange(const std::string& value, uint64_t& first, uint64_t& last, uint64_t& total);
}  // namespace rangeddownload
