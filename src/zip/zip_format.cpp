#include "zip/zip_format.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>

#include "base/file_names.h"

namespace orfzip {
namespace {

constexpr std::uint32_t kSigLocal = 0x04034b50;
constexpr std::uint32_t kSigCentral = 0x02014b50;
constexpr std::uint32_t kSigEnd = 0x06054b50;
constexpr std::uint32_t kSigEnd64 = 0x06064b50;
constexpr std::uint32_t kSigLocator64 = 0x07064b50;
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kExtraZip64 = 0x0001;
constexpr std::uint16_t kExtraNtfs = 0x000A;
constexpr std::uint16_t kExtraUnixTime = 0x5455;
constexpr std::uint16_t kExtraUnicodePath = 0x7075;
constexpr std::uint32_t k32 = 0xFFFFFFFFu;
constexpr std::uint16_t k16 = 0xFFFFu;
constexpr std::size_t kChunk = 256 * 1024;
// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kEpochDelta = 11644473600LL;

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t Get64(const std::uint8_t* p) {
  return static_cast<std::uint64_t>(Get32(p)) | (static_cast<std::uint64_t>(Get32(p + 4)) << 32);
}

class Bytes {
 public:
  void U16(std::uint16_t v) { b.push_back(static_cast<std::uint8_t>(v)); b.push_back(static_cast<std::uint8_t>(v >> 8)); }
  void U32(std::uint32_t v) { U16(static_cast<std::uint16_t>(v)); U16(static_cast<std::uint16_t>(v >> 16)); }
  void U64(std::uint64_t v) { U32(static_cast<std::uint32_t>(v)); U32(static_cast<std::uint32_t>(v >> 32)); }
  void Str(const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }
  void Raw(const std::vector<std::uint8_t>& v) { b.insert(b.end(), v.begin(), v.end()); }
  std::vector<std::uint8_t> b;
};

const char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool InRange(std::uint64_t offset, std::uint64_t length, std::uint64_t limit) {
  return offset <= limit && length <= limit - offset;
}

// Sequential reads through the central directory in chunks, bounded by its end.
class CdCursor {
 public:
  CdCursor(IZipInput& in, std::uint64_t start, std::uint64_t end) : in_(in), pos_(start), end_(end) {}
  std::uint64_t Remaining() const { return end_ - pos_; }
  void Read(void* dst, std::size_t n) {
    if (n > Remaining()) throw ZipFault(kZipBadArchive, "the central directory is truncated");
    auto* out = static_cast<std::uint8_t*>(dst);
    while (n > 0) {
      if (bufPos_ == buf_.size()) Fill();
      std::size_t take = std::min(n, buf_.size() - bufPos_);
      std::memcpy(out, buf_.data() + bufPos_, take);
      bufPos_ += take;
      pos_ += take;
      out += take;
      n -= take;
    }
  }

 private:
  void Fill() {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(64 * 1024, Remaining()));
    buf_.resize(want);
    if (!in_.ReadAt(pos_, buf_.data(), want)) throw ZipFault(kZipBadArchive, "the central directory cannot be read");
    bufPos_ = 0;
  }
  IZipInput& in_;
  std::uint64_t pos_, end_;
  std::vector<std::uint8_t> buf_;
  std::size_t bufPos_ = 0;
};

}  // namespace

bool MemoryInput::ReadAt(std::uint64_t offset, void* buf, std::size_t n) {
  if (!InRange(offset, n, size_)) return false;
  if (n) std::memcpy(buf, data_ + offset, n);
  return true;
}

void MemoryOutput::Write(const void* data, std::size_t n) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  bytes.insert(bytes.end(), p, p + n);
}

void MemoryOutput::WriteAt(std::uint64_t offset, const void* data, std::size_t n) {
  if (!InRange(offset, n, bytes.size())) throw ZipFault(kZipInternal, "write outside the archive");
  std::memcpy(bytes.data() + offset, data, n);
}

void MemoryOutput::Truncate(std::uint64_t size) {
  if (size > bytes.size()) throw ZipFault(kZipInternal, "truncate beyond the end");
  bytes.resize(static_cast<std::size_t>(size));
}

std::string Cp437ToUtf8(const std::string& raw) {
  std::string out;
  out.reserve(raw.size());
  for (unsigned char c : raw) {
    if (c < 0x80) out += static_cast<char>(c);
    else AppendUtf8(out, kCp437High[c - 0x80]);
  }
  return out;
}

std::string DescribeMethod(std::uint16_t method) {
  const char* name = nullptr;
  switch (method) {
    case 0: name = "stored"; break;
    case 1: name = "Shrink"; break;
    case 6: name = "Implode"; break;
    case 8: name = "deflate"; break;
    case 9: name = "Deflate64"; break;
    case 12: name = "BZip2"; break;
    case 14: name = "LZMA"; break;
    case 93: name = "Zstandard"; break;
    case 95: name = "XZ"; break;
    case 98: name = "PPMd"; break;
    case 99: name = "AES encryption"; break;
  }
  std::string text = "compression method " + std::to_string(method);
  return name ? text + " (" + name + ")" : text;
}

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

FileTime UnixToFileTime(std::int64_t seconds) {
  if (seconds < -kEpochDelta) return 0;
  return static_cast<FileTime>(seconds + kEpochDelta) * 10000000ULL;
}

FileTime DosToFileTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  std::tm tm{};
  tm.tm_year = ((dosDate >> 9) & 0x7F) + 80;
  tm.tm_mon = std::clamp(((dosDate >> 5) & 0x0F) - 1, 0, 11);
  tm.tm_mday = std::clamp(dosDate & 0x1F, 1, 31);
  tm.tm_hour = std::min((dosTime >> 11) & 0x1F, 23);
  tm.tm_min = std::min((dosTime >> 5) & 0x3F, 59);
  tm.tm_sec = std::min((dosTime & 0x1F) * 2, 59);
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return 0;
  return UnixToFileTime(static_cast<std::int64_t>(t));
}

void FileTimeToDos(FileTime t, std::uint16_t& dosDate, std::uint16_t& dosTime) {
  dosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
  dosTime = 0;
  if (t == 0) return;
  std::int64_t secs = static_cast<std::int64_t>(t / 10000000ULL) - kEpochDelta;
  std::time_t tt = static_cast<std::time_t>(secs);
  std::tm tm{};
#ifdef _WIN32
  if (localtime_s(&tm, &tt) != 0) return;
#else
  if (!localtime_r(&tt, &tm)) return;
#endif
  int year = tm.tm_year + 1900;
  if (year < 1980) return;
  if (year > 2107) year = 2107;
  dosDate = static_cast<std::uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  dosTime = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

// ---------------------------------------------------------------------------------------
// Reading

void TZipReader::Open() {
  entries_.clear();
  const std::uint64_t size = in_.Size();
  if (size < 22) throw ZipFault(kZipBadArchive, "not a ZIP archive (file too short)");

  // The end record sits in the last 22 bytes plus a comment of up to 65,535 bytes.
  const std::size_t tailLen = static_cast<std::size_t>(std::min<std::uint64_t>(size, 22 + 65535));
  std::vector<std::uint8_t> tail(tailLen);
  const std::uint64_t tailStart = size - tailLen;
  if (!in_.ReadAt(tailStart, tail.data(), tailLen)) throw ZipFault(kZipBadArchive, "the archive cannot be read");
  std::size_t at = std::string::npos;
  for (std::size_t i = tailLen - 22 + 1; i-- > 0;) {
    if (Get32(&tail[i]) == kSigEnd && i + 22 + Get16(&tail[i + 20]) <= tailLen) {
      at = i;
      break;
    }
  }
  if (at == std::string::npos) throw ZipFault(kZipBadArchive, "not a ZIP archive (no end of central directory)");
  const std::uint8_t* e = &tail[at];
  const std::uint64_t endPos = tailStart + at;
  std::uint64_t diskNo = Get16(e + 4), cdDisk = Get16(e + 6);
  std::uint64_t count = Get16(e + 10);
  std::uint64_t cdSize = Get32(e + 12), cdOffset = Get32(e + 16);
  std::uint64_t dirEnd = endPos;  // the central directory ends where the next record starts

  if (endPos >= 20) {
    std::uint8_t loc[20];
    if (in_.ReadAt(endPos - 20, loc, 20) && Get32(loc) == kSigLocator64) {
      const std::uint64_t end64 = Get64(loc + 8);
      std::uint8_t rec[56];
      if (!InRange(end64, 56, endPos - 20) || !in_.ReadAt(end64, rec, 56) || Get32(rec) != kSigEnd64)
        throw ZipFault(kZipBadArchive, "the ZIP64 end of central directory is damaged");
      diskNo = Get32(rec + 16);
      cdDisk = Get32(rec + 20);
      count = Get64(rec + 32);
      cdSize = Get64(rec + 40);
      cdOffset = Get64(rec + 48);
      dirEnd = end64;
    }
  }
  if (diskNo != 0 || cdDisk != 0) throw ZipFault(kZipUnsupported, "multi-volume archives are not supported");
  if (!InRange(cdOffset, cdSize, dirEnd))
    throw ZipFault(kZipBadArchive, "the central directory lies outside the archive");
  if (count > cdSize / 46 && !(count == 0 && cdSize == 0) && count != k16)
    throw ZipFault(kZipBadArchive, "the entry count does not fit the central directory");
  cdStart_ = cdOffset;
  ReadCentralDirectory(cdOffset, cdSize, count);
}

void TZipReader::ReadCentralDirectory(std::uint64_t cdOffset, std::uint64_t cdSize, std::uint64_t count) {
  CdCursor cur(in_, cdOffset, cdOffset + cdSize);
  std::vector<std::uint8_t> name, extra;
  std::vector<std::uint8_t> skip;
  while (cur.Remaining() > 0) {
    std::uint8_t h[46];
    cur.Read(h, 46);
    if (Get32(h) != kSigCentral) throw ZipFault(kZipBadArchive, "a central directory record is damaged");
    ZipEntry ze;
    TZipEntryInfo& i = ze.info;
    ze.versionMadeBy = Get16(h + 4);
    ze.flags = Get16(h + 8);
    i.Method = Get16(h + 10);
    const std::uint16_t dosTime = Get16(h + 12), dosDate = Get16(h + 14);
    i.Crc = Get32(h + 16);
    i.CompressedSize = Get32(h + 20);
    i.UncompressedSize = Get32(h + 24);
    const std::size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
    const std::uint32_t diskStart = Get16(h + 34);
    i.ExternalAttributes = Get32(h + 38);
    ze.localOffset = Get32(h + 42);
    name.resize(nameLen);
    extra.resize(extraLen);
    skip.resize(commentLen);
    cur.Read(name.data(), nameLen);
    cur.Read(extra.data(), extraLen);
    cur.Read(skip.data(), commentLen);
    const std::string raw(name.begin(), name.end());
    i.Encrypted = (ze.flags & kFlagEncrypted) != 0;
    // Flagged names are UTF-8. Unflagged ones that are valid UTF-8 are taken as UTF-8 too:
    // archivers on Linux and macOS store their UTF-8 names without the flag, and a CP437
    // name with letters beyond ASCII is almost never valid UTF-8. The Unicode path field
    // below overrides both when it belongs to this name.
    i.Name = (ze.flags & kFlagUtf8) || filenames::IsValidUtf8(raw) ? raw : Cp437ToUtf8(raw);

    bool haveUnixTime = false, haveNtfs = false;
    std::size_t p = 0;
    while (p + 4 <= extra.size()) {
      const std::uint16_t id = Get16(&extra[p]);
      const std::size_t len = Get16(&extra[p + 2]);
      p += 4;
      if (len > extra.size() - p) break;  // a damaged extra block: ignore the rest
      const std::uint8_t* d = &extra[p];
      if (id == kExtraZip64) {
        std::size_t q = 0;
        auto take = [&](std::uint64_t& field) {
          if (field != k32) return;
          if (q + 8 > len) throw ZipFault(kZipBadArchive, "the ZIP64 field of \"" + i.Name + "\" is damaged");
          field = Get64(d + q);
          q += 8;
        };
        take(i.UncompressedSize);
        take(i.CompressedSize);
        take(ze.localOffset);
      } else if (id == kExtraNtfs && len >= 4) {
        std::size_t q = 4;
        while (q + 4 <= len) {
          const std::uint16_t tag = Get16(d + q), tlen = Get16(d + q + 2);
          q += 4;
          if (tlen > len - q) break;
          if (tag == 1 && tlen >= 24) {
            i.Modified = Get64(d + q);
            i.Accessed = Get64(d + q + 8);
            i.Created = Get64(d + q + 16);
            haveNtfs = true;
          }
          q += tlen;
        }
      } else if (id == kExtraUnixTime && len >= 5 && (d[0] & 1) && !haveNtfs) {
        i.Modified = UnixToFileTime(static_cast<std::int32_t>(Get32(d + 1)));
        haveUnixTime = true;
      } else if (id == kExtraUnicodePath && len >= 5 && d[0] == 1 && !(ze.flags & kFlagUtf8)) {
        // Info-ZIP's UTF-8 form of the name, valid only while its CRC matches the stored
        // name (a tool that renamed the entry without knowing the field leaves it stale).
        const std::string utf8(reinterpret_cast<const char*>(d + 5), len - 5);
        if (Get32(d + 1) == static_cast<std::uint32_t>(crc32(0, name.data(), static_cast<uInt>(nameLen))) &&
            filenames::IsValidUtf8(utf8))
          i.Name = utf8;
      }
      p += len;
    }
    if (!haveNtfs && !haveUnixTime) i.Modified = DosToFileTime(dosDate, dosTime);
    if (diskStart != 0 && diskStart != k16) throw ZipFault(kZipUnsupported, "multi-volume archives are not supported");

    i.IsFolder = !i.Name.empty() && (i.Name.back() == '/' || i.Name.back() == '\\');
    const unsigned host = ze.versionMadeBy >> 8;
    if (host == 3 || host == 19) {  // Unix, macOS: file type in the upper half
      i.IsLink = ((i.ExternalAttributes >> 16) & 0xF000) == 0xA000;
    } else if (host == 0 || host == 10 || host == 11 || host == 14) {  // DOS, NTFS, VFAT
      i.IsLink = (i.ExternalAttributes & 0x400) != 0;                  // reparse point
    }
    if (!InRange(ze.localOffset, 30, cdStart_))
      throw ZipFault(kZipBadArchive, "the entry \"" + i.Name + "\" starts outside the archive data");
    entries_.push_back(std::move(ze));
  }
  // Entries never share or overlap their data: an archive that reuses one block of data
  // for many entries (a "zip bomb") is refused.
  std::vector<std::pair<std::uint64_t, std::size_t>> order;
  order.reserve(entries_.size());
  for (std::size_t k = 0; k < entries_.size(); ++k) order.emplace_back(entries_[k].localOffset, k);
  std::sort(order.begin(), order.end());
  for (std::size_t k = 1; k < order.size(); ++k) {
    const ZipEntry& prev = entries_[order[k - 1].second];
    const std::uint64_t prevEnd = prev.localOffset + 30 + std::min(prev.info.CompressedSize, cdStart_);
    if (order[k].first < prevEnd)
      throw ZipFault(kZipBadArchive, "the entries \"" + prev.info.Name + "\" and \"" +
                                         entries_[order[k].second].info.Name + "\" overlap");
  }
  // More than 65,535 entries without ZIP64 records leave only the low 16 bits of the count.
  const std::uint64_t got = entries_.size();
  if (got != count && !(count <= k16 && (got & 0xFFFF) == count) && !(count == k16 && got >= k16))
    throw ZipFault(kZipBadArchive, "the central directory holds " + std::to_string(entries_.size()) +
                                       " entries instead of " + std::to_string(count));
}

void TZipReader::ReadEntry(const ZipEntry& ze, const std::function<void(const void*, std::size_t)>& sink) {
  const TZipEntryInfo& i = ze.info;
  if (i.Encrypted) throw ZipFault(kZipUnsupported, "the entry \"" + i.Name + "\" is encrypted");
  if (i.Method != 0 && i.Method != 8)
    throw ZipFault(kZipUnsupported, "the entry \"" + i.Name + "\" uses " + DescribeMethod(i.Method) +
                                        ", which is not supported (only stored and deflate are)");
  std::uint8_t lh[30];
  if (!in_.ReadAt(ze.localOffset, lh, 30) || Get32(lh) != kSigLocal)
    throw ZipFault(kZipBadEntry, "the local header of \"" + i.Name + "\" is damaged");
  const std::uint64_t dataStart = ze.localOffset + 30 + Get16(lh + 26) + Get16(lh + 28);
  if (!InRange(dataStart, i.CompressedSize, cdStart_))
    throw ZipFault(kZipBadEntry, "the data of \"" + i.Name + "\" does not fit the archive");

  inBuf_.resize(kChunk);
  outBuf_.resize(kChunk);
  std::vector<std::uint8_t>& inBuf = inBuf_;
  std::uint64_t inPos = dataStart, inLeft = i.CompressedSize, produced = 0;
  uLong crc = crc32(0, nullptr, 0);
  auto emit = [&](const std::uint8_t* p, std::size_t n) {
    if (n > i.UncompressedSize - produced)
      throw ZipFault(kZipCrcError, "the entry \"" + i.Name + "\" holds more data than its stated size");
    produced += n;
    crc = crc32_z(crc, p, n);
    sink(p, n);
  };
  auto readIn = [&](std::size_t n) {
    if (!in_.ReadAt(inPos, inBuf.data(), n))
      throw ZipFault(kZipBadEntry, "the data of \"" + i.Name + "\" cannot be read (archive truncated)");
    inPos += n;
    inLeft -= n;
  };

  if (i.Method == 0) {
    if (i.CompressedSize != i.UncompressedSize)
      throw ZipFault(kZipBadEntry, "the sizes of the stored entry \"" + i.Name + "\" differ");
    while (inLeft > 0) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(inLeft, kChunk));
      readIn(n);
      emit(inBuf.data(), n);
    }
  } else {
    z_stream zs{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) throw ZipFault(kZipInternal, "inflate cannot start");
    std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&zs, inflateEnd);
    std::vector<std::uint8_t>& outBuf = outBuf_;
    bool done = false;
    while (!done) {
      if (zs.avail_in == 0 && inLeft > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(inLeft, kChunk));
        readIn(n);
        zs.next_in = inBuf.data();
        zs.avail_in = static_cast<uInt>(n);
      }
      zs.next_out = outBuf.data();
      zs.avail_out = static_cast<uInt>(outBuf.size());
      const uInt inBefore = zs.avail_in;
      const int rc = inflate(&zs, Z_NO_FLUSH);
      const std::size_t got = outBuf.size() - zs.avail_out;
      if (rc == Z_STREAM_END) {
        done = true;
      } else if (rc == Z_DATA_ERROR || rc == Z_NEED_DICT) {
        throw ZipFault(kZipBadEntry, "the compressed data of \"" + i.Name + "\" is damaged");
      } else if (rc == Z_MEM_ERROR) {
        throw ZipFault(kZipInternal, "out of memory while inflating \"" + i.Name + "\"");
      } else if (got == 0 && zs.avail_in == inBefore && (inLeft == 0 || rc != Z_BUF_ERROR)) {
        // No progress and nothing more to give: the data ends before the stream does.
        throw ZipFault(kZipBadEntry, "the compressed data of \"" + i.Name + "\" is truncated");
      }
      emit(outBuf.data(), got);
    }
    if (zs.avail_in != 0 || inLeft != 0) {
      // Trailing bytes after the end of the stream: tolerated only as padding.
    }
  }
  if (produced != i.UncompressedSize)
    throw ZipFault(kZipCrcError, "the entry \"" + i.Name + "\" is shorter than its stated size");
  if (static_cast<std::uint32_t>(crc) != i.Crc)
    throw ZipFault(kZipCrcError, "CRC error in \"" + i.Name + "\"");
}

// ---------------------------------------------------------------------------------------
// Writing

namespace {

std::vector<std::uint8_t> NtfsExtra(const TZipWriter::Times& t) {
  Bytes x;
  x.U16(kExtraNtfs);
  x.U16(32);
  x.U32(0);
  x.U16(1);
  x.U16(24);
  x.U64(t.modified);
  x.U64(t.accessed);
  x.U64(t.created);
  return x.b;
}

// Packed or random data: the byte distribution of a sample is nearly flat (over 7.95 bits
// of order-0 entropy per byte; text has about 4.5, executables about 6). Such data is
// stored rather than sent through deflate for nothing.
bool LooksIncompressible(const std::uint8_t* p, std::size_t n) {
  if (n < 4096) return false;
  std::uint32_t count[256] = {};
  for (std::size_t i = 0; i < n; ++i) ++count[p[i]];
  double bits = 0;
  for (std::uint32_t k : count) {
    if (k == 0) continue;
    const double q = static_cast<double>(k) / static_cast<double>(n);
    bits -= q * std::log2(q);
  }
  return bits > 7.95;
}

}  // namespace

void TZipWriter::WriteLocalHeader(Central& c, bool zip64Local) {
  Bytes h;
  h.U32(kSigLocal);
  h.U16(zip64Local ? 45 : 20);
  h.U16(c.flags);
  h.U16(c.method);
  h.U16(c.dosTime);
  h.U16(c.dosDate);
  h.U32(c.crc);
  h.U32(zip64Local ? k32 : static_cast<std::uint32_t>(c.csize));
  h.U32(zip64Local ? k32 : static_cast<std::uint32_t>(c.usize));
  Bytes x;
  if (zip64Local) {
    x.U16(kExtraZip64);
    x.U16(16);
    x.U64(c.usize);
    x.U64(c.csize);
  }
  if (c.times.storeNtfs) x.Raw(NtfsExtra(c.times));
  h.U16(static_cast<std::uint16_t>(c.name.size()));
  h.U16(static_cast<std::uint16_t>(x.b.size()));
  h.Str(c.name);
  h.Raw(x.b);
  out_.Write(h.b.data(), h.b.size());
}

void TZipWriter::AddFolder(const std::string& name, const Times& t, std::uint32_t dosAttributes) {
  if (name.size() > 0xFFFF) throw ZipFault(kZipBadParameter, "the name \"" + name.substr(0, 100) + "...\" is too long");
  Central c{name, static_cast<std::uint16_t>(IsAscii(name) ? 0 : kFlagUtf8), 0, 0, 0, 0, dosAttributes | 0x10,
            0, 0, out_.Tell(), t};
  FileTimeToDos(t.modified, c.dosDate, c.dosTime);
  WriteLocalHeader(c, forceZip64_);
  central_.push_back(std::move(c));
}

// The data of one entry as it is read: the first chunk is read ahead (it decides whether
// the data is worth deflating), the rest follows chunk by chunk.
class EntryData {
 public:
  EntryData(IZipSource& src, std::vector<std::uint8_t>& buf) : src_(src), buf_(buf) {
    firstLen_ = src_.Read(buf_.data(), buf_.size());
  }
  const std::uint8_t* data() const { return buf_.data(); }
  std::size_t firstLen() const { return firstLen_; }
  // The next chunk into data(); 0 at the end.
  std::size_t Next() {
    if (firstPending_) {
      firstPending_ = false;
      return firstLen_;
    }
    return src_.Read(buf_.data(), buf_.size());
  }
  // Back to the start, to read everything again; false when the source cannot.
  bool Rewind() {
    if (!src_.Rewind()) return false;
    firstPending_ = false;
    return true;
  }

 private:
  IZipSource& src_;
  std::vector<std::uint8_t>& buf_;
  std::size_t firstLen_ = 0;
  bool firstPending_ = true;
};

void TZipWriter::AddFile(const std::string& name, IZipSource& src, std::uint64_t sizeHint, const Times& t,
                         std::uint32_t dosAttributes) {
  if (name.size() > 0xFFFF) throw ZipFault(kZipBadParameter, "the name \"" + name.substr(0, 100) + "...\" is too long");
  Central c{name, static_cast<std::uint16_t>(IsAscii(name) ? 0 : kFlagUtf8), static_cast<std::uint16_t>(level_ > 0 ? 8 : 0),
            0, 0, 0, dosAttributes, 0, 0, out_.Tell(), t};
  FileTimeToDos(t.modified, c.dosDate, c.dosTime);
  const bool zip64Local = forceZip64_ || sizeHint >= 0xFFFF0000ULL;
  WriteLocalHeader(c, zip64Local);
  const std::uint64_t dataStart = out_.Tell();
  inBuf_.resize(kChunk);
  outBuf_.resize(kChunk);
  EntryData data(src, inBuf_);

  if (c.method == 0 || LooksIncompressible(data.data(), std::min<std::size_t>(data.firstLen(), 64 * 1024))) {
    StoreData(c, data);
  } else {
    const DeflateResult r = DeflateData(c, data);
    if (r != DeflateResult::kSmaller) {
      // Data that did not shrink is stored instead, when it can be read again.
      if (data.Rewind()) {
        out_.Truncate(dataStart);
        StoreData(c, data);
      } else if (r == DeflateResult::kGaveUp) {
        throw ZipFault(kZipReadFailed, "the data of \"" + name + "\" cannot be read again");
      }
    }
  }
  if (!zip64Local && (c.usize >= k32 || c.csize >= k32))
    throw ZipFault(kZipReadFailed, "\"" + name + "\" grew beyond 4 GiB while it was added");
  PatchLocalHeader(c, zip64Local);
  central_.push_back(std::move(c));
}

void TZipWriter::StoreData(Central& c, EntryData& data) {
  c.method = 0;
  uLong crc = crc32(0, nullptr, 0);
  std::uint64_t total = 0;
  for (std::size_t n; (n = data.Next()) != 0;) {
    crc = crc32_z(crc, data.data(), n);
    out_.Write(data.data(), n);
    total += n;
  }
  c.crc = static_cast<std::uint32_t>(crc);
  c.usize = c.csize = total;
}

z_stream_s& TZipWriter::Deflater() {
  if (!deflater_) {
    auto* fresh = new z_stream{};
    if (deflateInit2(fresh, level_, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      delete fresh;
      throw ZipFault(kZipInternal, "deflate cannot start");
    }
    deflater_.reset(fresh, [](void* p) {
      deflateEnd(static_cast<z_stream*>(p));
      delete static_cast<z_stream*>(p);
    });
  } else if (deflateReset(static_cast<z_stream*>(deflater_.get())) != Z_OK) {
    throw ZipFault(kZipInternal, "deflate cannot start");
  }
  return *static_cast<z_stream*>(deflater_.get());
}

// Deflates the data into the archive. On kSmaller and kNotSmaller the entry is complete
// (CRC and sizes set); on kGaveUp only its first part was written.
TZipWriter::DeflateResult TZipWriter::DeflateData(Central& c, EntryData& data) {
  z_stream& zs = Deflater();
  std::vector<std::uint8_t>& outBuf = outBuf_;
  uLong crc = crc32(0, nullptr, 0);
  std::uint64_t total = 0, written = 0;
  for (bool eof = false; !eof;) {
    const std::size_t n = data.Next();
    eof = (n == 0);
    crc = crc32_z(crc, data.data(), n);
    total += n;
    zs.next_in = const_cast<std::uint8_t*>(data.data());
    zs.avail_in = static_cast<uInt>(n);
    do {
      zs.next_out = outBuf.data();
      zs.avail_out = static_cast<uInt>(outBuf.size());
      const int rc = deflate(&zs, eof ? Z_FINISH : Z_NO_FLUSH);
      if (rc == Z_STREAM_ERROR) throw ZipFault(kZipInternal, "deflate failed");
      const std::size_t got = outBuf.size() - zs.avail_out;
      out_.Write(outBuf.data(), got);
      written += got;
    } while (zs.avail_out == 0);
    // Data that does not shrink in its first megabyte (packed or random) is stored: it
    // would cost deflate's time for nothing.
    if (!eof && total >= (1u << 20) && total < (1u << 20) + kChunk && zs.total_out + kChunk / 4 >= total / 100 * 98)
      return DeflateResult::kGaveUp;
  }
  c.crc = static_cast<std::uint32_t>(crc);
  c.usize = total;
  c.csize = written;
  return written < total ? DeflateResult::kSmaller : DeflateResult::kNotSmaller;
}

// Puts the method, CRC and sizes, known only now, into the entry's local header.
void TZipWriter::PatchLocalHeader(const Central& c, bool zip64Local) {
  Bytes p;
  p.U16(c.method);
  out_.WriteAt(c.offset + 8, p.b.data(), 2);
  Bytes q;
  q.U32(c.crc);
  if (zip64Local) {
    out_.WriteAt(c.offset + 14, q.b.data(), 4);
    Bytes z;
    z.U64(c.usize);
    z.U64(c.csize);
    out_.WriteAt(c.offset + 30 + c.name.size() + 4, z.b.data(), 16);
  } else {
    q.U32(static_cast<std::uint32_t>(c.csize));
    q.U32(static_cast<std::uint32_t>(c.usize));
    out_.WriteAt(c.offset + 14, q.b.data(), 12);
  }
}

void TZipWriter::Finish() {
  const std::uint64_t cdStart = out_.Tell();
  for (const Central& c : central_) {
    const bool bigU = forceZip64_ || c.usize >= k32;
    const bool bigC = forceZip64_ || c.csize >= k32;
    const bool bigO = forceZip64_ || c.offset >= k32;
    Bytes x;
    if (bigU || bigC || bigO) {
      x.U16(kExtraZip64);
      x.U16(static_cast<std::uint16_t>(8 * (bigU + bigC + bigO)));
      if (bigU) x.U64(c.usize);
      if (bigC) x.U64(c.csize);
      if (bigO) x.U64(c.offset);
    }
    if (c.times.storeNtfs) x.Raw(NtfsExtra(c.times));
    const bool any64 = bigU || bigC || bigO;
    Bytes h;
    h.U32(kSigCentral);
    h.U16(any64 ? 45 : 20);  // made by: MS-DOS attributes, format version
    h.U16(any64 ? 45 : 20);
    h.U16(c.flags);
    h.U16(c.method);
    h.U16(c.dosTime);
    h.U16(c.dosDate);
    h.U32(c.crc);
    h.U32(bigC ? k32 : static_cast<std::uint32_t>(c.csize));
    h.U32(bigU ? k32 : static_cast<std::uint32_t>(c.usize));
    h.U16(static_cast<std::uint16_t>(c.name.size()));
    h.U16(static_cast<std::uint16_t>(x.b.size()));
    h.U16(0);
    h.U16(0);
    h.U16(0);
    h.U32(c.attributes);
    h.U32(bigO ? k32 : static_cast<std::uint32_t>(c.offset));
    h.Str(c.name);
    h.Raw(x.b);
    out_.Write(h.b.data(), h.b.size());
  }
  const std::uint64_t cdEnd = out_.Tell();
  const std::uint64_t cdSize = cdEnd - cdStart, count = central_.size();
  const bool zip64 = forceZip64_ || count >= k16 || cdSize >= k32 || cdStart >= k32;
  Bytes h;
  if (zip64) {
    h.U32(kSigEnd64);
    h.U64(44);
    h.U16(45);
    h.U16(45);
    h.U32(0);
    h.U32(0);
    h.U64(count);
    h.U64(count);
    h.U64(cdSize);
    h.U64(cdStart);
    h.U32(kSigLocator64);
    h.U32(0);
    h.U64(cdEnd);
    h.U32(1);
  }
  h.U32(kSigEnd);
  h.U16(0);
  h.U16(0);
  h.U16(zip64 ? k16 : static_cast<std::uint16_t>(count));
  h.U16(zip64 ? k16 : static_cast<std::uint16_t>(count));
  h.U32(zip64 ? k32 : static_cast<std::uint32_t>(cdSize));
  h.U32(zip64 ? k32 : static_cast<std::uint32_t>(cdStart));
  h.U16(0);
  out_.Write(h.b.data(), h.b.size());
}

}  // namespace orfzip
