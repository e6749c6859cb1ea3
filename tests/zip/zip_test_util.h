#pragma once
// Fixtures for the ZIP engine tests: temporary folders, files, and archives built in
// memory (with any entry name, so hostile ones too).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "zip/zip.h"
#include "zip/zip_format.h"

namespace ziptest {

namespace stdfs = std::filesystem;

inline stdfs::path P(const std::string& utf8) {
  return stdfs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

inline std::string U8(const stdfs::path& p) {
  const std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

// A fresh folder, removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("orfzip-") + (info ? info->name() : "x") + "-" +
                       std::to_string(std::random_device{}()) + "-" + std::to_string(counter++);
    path_ = stdfs::temp_directory_path() / P(name);
    stdfs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    stdfs::remove_all(path_, ec);
  }
  const stdfs::path& path() const { return path_; }
  std::string str(const std::string& rel = "") const { return U8(rel.empty() ? path_ : path_ / P(rel)); }

 private:
  stdfs::path path_;
};

inline void WriteFile(const stdfs::path& p, const std::string& data) {
  stdfs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::string ReadFile(const stdfs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

inline std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

inline std::string Text(std::size_t n) {
  std::string s;
  for (int i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of a compressible text file\r\n";
  s.resize(n);
  return s;
}

// Relative paths ("/" separators, folders with a trailing "/") and contents of a tree.
inline std::map<std::string, std::string> Tree(const stdfs::path& root) {
  std::map<std::string, std::string> out;
  for (const auto& e : stdfs::recursive_directory_iterator(root)) {
    std::string rel = U8(stdfs::relative(e.path(), root));
    for (auto& c : rel)
      if (c == '\\') c = '/';
    if (e.is_directory()) out[rel + "/"] = "";
    else out[rel] = ReadFile(e.path());
  }
  return out;
}

class StringSource : public orfzip::IZipSource {
 public:
  explicit StringSource(std::string data) : data_(std::move(data)) {}
  std::size_t Read(void* buf, std::size_t n) override {
    n = std::min(n, data_.size() - pos_);
    std::memcpy(buf, data_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  bool Rewind() override {
    pos_ = 0;
    return true;
  }

 private:
  std::string data_;
  std::size_t pos_ = 0;
};

struct MemEntry {
  std::string name;
  std::string data;
};

// An archive written by the engine's writer; names are stored as given.
inline std::vector<std::uint8_t> BuildArchive(const std::vector<MemEntry>& entries, int level = 6,
                                              bool zip64 = false) {
  orfzip::MemoryOutput out;
  orfzip::TZipWriter w(out, level, zip64);
  orfzip::TZipWriter::Times t;
  t.modified = 133000000000000000ULL;
  for (const auto& e : entries) {
    if (!e.name.empty() && e.name.back() == '/') {
      w.AddFolder(e.name, t, 0);
    } else {
      StringSource src(e.data);
      w.AddFile(e.name, src, e.data.size(), t, 0x20);
    }
  }
  w.Finish();
  return out.bytes;
}

// Offsets of the central directory records, in order.
inline std::vector<std::size_t> CentralRecords(const std::vector<std::uint8_t>& zip) {
  std::vector<std::size_t> out;
  for (std::size_t i = 0; i + 4 <= zip.size(); ++i)
    if (zip[i] == 'P' && zip[i + 1] == 'K' && zip[i + 2] == 1 && zip[i + 3] == 2) out.push_back(i);
  return out;
}

inline void Put16(std::vector<std::uint8_t>& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, static_cast<std::uint16_t>(v));
  Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

inline void SaveBytes(const stdfs::path& p, const std::vector<std::uint8_t>& b) {
  WriteFile(p, std::string(b.begin(), b.end()));
}

}  // namespace ziptest
