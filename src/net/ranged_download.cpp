#include "net/ranged_download.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/errors.h"
#include "net/http_util.h"

namespace rangeddownload {

namespace {

bool ReadNumber(const std::string& s, size_t& pos, uint64_t& value) {
  const size_t start = pos;
  value = 0;
  while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
    if (pos - start >= 18) return false;  // far beyond any file
    value = value * 10 + static_cast<uint64_t>(s[pos] - '0');
    ++pos;
  }
  return pos > start;
}

}  // namespace

bool ParseContentRange(const std::string& value, uint64_t& first, uint64_t& last, uint64_t& total) {
  const std::string unit = "bytes ";
  if (value.compare(0, unit.size(), unit) != 0) return false;
  size_t pos = unit.size();
  if (!ReadNumber(value, pos, first) || pos >= value.size() || value[pos++] != '-') return false;
  if (!ReadNumber(value, pos, last) || pos >= value.size() || value[pos++] != '/') return false;
  if (!ReadNumber(value, pos, total) || pos != value.size()) return false;
  return first <= last && last < total;
}

}  // namespace rangeddownload

namespace {

using rangeddownload::ParseContentRange;

std::string RangeHeader(uint64_t first, uint64_t last) {
  return "Range: bytes=" + std::to_string(first) + "-" + std::to_string(last) + "\r\n";
}

std::string TooLarge(uint64_t size) {
  return "The server announced a file of " + std::to_string(size) + " bytes, more than a package can be";
}

// One range of the rest of the file.
struct Part {
  uint64_t first = 0;
  uint64_t last = 0;
};

// The ranges of the rest, from `from` to the end of a file of `total` bytes: the end first
// when the rest is large enough to be split, then parts of limits.minPart in order.
std::vector<Part> SplitRest(uint64_t from, uint64_t total, const RangedDownloadLimits& limits) {
  const uint64_t minPart = std::max<uint64_t>(limits.minPart, 1);
  std::vector<Part> parts;
  uint64_t end = total;
  if (limits.tailRange > 0 && total - from > limits.tailRange + minPart) {
    parts.push_back({total - limits.tailRange, total - 1});
    end = total - limits.tailRange;
  }
  const uint64_t rest = end - from;
  const uint64_t count = std::max<uint64_t>((rest + minPart - 1) / minPart, 1);
  const uint64_t each = rest / count;
  uint64_t at = from;
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t size = i + 1 == count ? end - at : each;
    parts.push_back({at, at + size - 1});
    at += size;
  }
  return parts;
}

// Fetches one range; every byte must come back as asked.
void FetchPart(IHttpTransport& http, const std::string& url, const Part& part, uint64_t total,
               IDownloadTarget& target, const std::atomic<bool>& stop) {
  const uint64_t want = part.last - part.first + 1;
  uint64_t got = 0;
  const std::string asked = "bytes " + std::to_string(part.first) + "-" + std::to_string(part.last) + "/" +
                            std::to_string(total);
  auto onHead = [&](const StreamHead& head) {
    if (head.status != 206 || httputil::IsTextContentType(head.contentType) || head.contentRange != asked)
      throw EHTTPError("The server did not answer the range " + asked + " (HTTP " + std::to_string(head.status) +
                       (head.contentRange.empty() ? "" : ", " + head.contentRange) + ")");
    if (head.contentLength >= 0 && static_cast<uint64_t>(head.contentLength) != want)
      throw EHTTPError("The server announced " + std::to_string(head.contentLength) + " bytes for the range " + asked);
  };
  auto onData = [&](const char* data, size_t size) {
    if (stop) throw EHTTPError("The download was stopped");
    if (size > want - got) throw EHTTPError("The server sent more than the range " + asked);
    target.Write(part.first + got, data, size);
    got += size;
  };
  http.getStream(url, RangeHeader(part.first, part.last), onHead, onData);
  if (got != want)
    throw EHTTPError("The connection was closed before the whole range arrived (" + std::to_string(got) + " of " +
                     std::to_string(want) + " bytes of " + asked + ")");
}

// Fetches the parts over the transport and its siblings at once; the first failure stops the
// others and is raised once all have ended.
void FetchParts(IHttpTransport& http, const std::string& url, const std::vector<Part>& parts, uint64_t total,
                IDownloadTarget& target, const RangedDownloadLimits& limits, int& connections) {
  std::vector<std::unique_ptr<IHttpTransport>> siblings;
  const size_t wanted = std::min<size_t>(parts.size(), static_cast<size_t>(std::max(limits.maxConnections, 1)));
  for (size_t i = 1; i < wanted; ++i) {
    auto other = http.sibling();
    if (!other) break;
    siblings.push_back(std::move(other));
  }
  std::vector<IHttpTransport*> transports{&http};
  for (auto& s : siblings) transports.push_back(s.get());
  connections = static_cast<int>(transports.size());

  std::atomic<bool> stop{false};
  std::atomic<size_t> next{0};
  std::mutex mu;
  std::exception_ptr failure;
  // Each transport fetches the next part not yet taken, until none is left.
  auto run = [&](size_t index) {
    try {
      for (size_t p = next++; p < parts.size() && !stop; p = next++)
        FetchPart(*transports[index], url, parts[p], total, target, stop);
    } catch (...) {
      std::lock_guard lock(mu);
      if (!failure) failure = std::current_exception();
      stop = true;
      for (auto* t : transports)
        if (t != transports[index]) t->cancel();
    }
  };
  std::vector<std::thread> threads;
  try {
    for (size_t i = 1; i < transports.size(); ++i) threads.emplace_back(run, i);
  } catch (...) {
    // No thread to be had: the download fails as a whole.
    stop = true;
    for (auto* t : transports) t->cancel();
    for (auto& t : threads) t.join();
    throw EHTTPError("Cannot start a download thread");
  }
  run(0);
  for (auto& t : threads) t.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace

RangedDownloadResult DownloadRanged(IHttpTransport& http, const std::string& url, IDownloadTarget& target,
                                    const RangedDownloadLimits& limits) {
  RangedDownloadResult result;
  // What the first answer says.
  bool text = false;
  bool unsatisfiable = false;
  uint64_t total = 0;     // the file's size from a 206; 0 when not ranged
  uint64_t expected = 0;  // the bytes the first answer may carry
  uint64_t received = 0;
  auto onHead = [&](const StreamHead& head) {
    text = httputil::IsTextContentType(head.contentType);
    unsatisfiable = false;
    total = 0;
    received = 0;
    if (text) return;
    if (head.status == 416) {
      unsatisfiable = true;
      return;
    }
    if (head.status == 206) {
      uint64_t first = 0, last = 0;
      if (!ParseContentRange(head.contentRange, first, last, total) || first != 0 || last >= limits.firstRange)
        throw EHTTPError("The server answered with an unexpected range (\"" + head.contentRange + "\")");
      if (total > limits.maxSize) throw EHTTPError(TooLarge(total));
      expected = last + 1;
      if (head.contentLength >= 0 && static_cast<uint64_t>(head.contentLength) != expected)
        throw EHTTPError("The server announced " + std::to_string(head.contentLength) + " bytes for the range \"" +
                         head.contentRange + "\"");
      target.Expect(total);
      return;
    }
    // The whole file in one stream.
    if (head.contentLength >= 0 && static_cast<uint64_t>(head.contentLength) > limits.maxSize)
      throw EHTTPError(TooLarge(static_cast<uint64_t>(head.contentLength)));
    expected = head.contentLength >= 0 ? static_cast<uint64_t>(head.contentLength) : limits.maxSize;
    if (head.contentLength >= 0) target.Expect(expected);
  };
  auto onData = [&](const char* data, size_t size) {
    if (unsatisfiable) return;  // the body of a 416 is no part of the file
    if (size > expected - received)
      throw EHTTPError(total ? "The server sent more than the range it announced" : TooLarge(received + size));
    target.Write(received, data, size);
    received += size;
  };
  const uint64_t firstLast = std::max<uint64_t>(limits.firstRange, 1) - 1;
  result.text = http.getStream(url, RangeHeader(0, firstLast), onHead, onData);
  result.refused = text;
  if (text) return result;
  result.connections = 1;
  if (unsatisfiable) {
    // No range of an empty file can be served: ask for the whole.
    result.text = http.getStream(url, std::string(), onHead, onData);
    result.refused = text;
    if (text) return result;
    if (unsatisfiable) throw EHTTPError("The server refused to send the file (HTTP 416)");
  }
  if (total == 0) {
    result.size = received;
    return result;
  }
  if (received != expected)
    throw EHTTPError("The connection was closed before the whole range arrived (" + std::to_string(received) +
                     " of " + std::to_string(expected) + " bytes)");
  if (expected < total)
    FetchParts(http, url, SplitRest(expected, total, limits), total, target, limits, result.connections);
  result.size = total;
  return result;
}
