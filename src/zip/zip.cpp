// The ZIP engine's jobs: extract, test, list and add, on top of the format reader and
// writer and the file layer.
#include "zip/zip.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <new>
#include <optional>
#include <unordered_set>

#include "base/errors.h"
#include "base/file_names.h"
#include "zip/zip_format.h"
#include "zip/zip_fs.h"

namespace orfzip {
namespace {

constexpr const char* kPartSuffix = ".orfzip-part";

bool IsSep(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}

std::string StripTrailingSeps(std::string p) {
  while (p.size() > 1 && IsSep(p.back()) && !(p.size() == 3 && p[1] == ':')) p.pop_back();
  return p;
}

std::string Join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (IsSep(dir.back())) return dir + name;
  return dir + fs::kSep + name;
}

std::string ParentDir(const std::string& path) {
  std::size_t i = path.size();
  while (i > 0 && !IsSep(path[i - 1])) --i;
  if (i == 0) return ".";
  return StripTrailingSeps(path.substr(0, i));
}

// Creates a folder and its parents; true when it exists as a folder afterwards.
bool MakeDirs(const std::string& path) {
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (IsSep(path[i]) && !IsSep(path[i - 1])) fs::CreateDir(path.substr(0, i));
  }
  if (fs::CreateDir(path)) return true;
  const fs::Info i = fs::Stat(path);
  return i.exists && i.isDir;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t Utf8Len(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

// Wildcard match, case-insensitive for ASCII; "?" takes one character (not one byte).
bool WildMatch(const std::string& pat, const std::string& s) {
  std::size_t p = 0, i = 0, starP = std::string::npos, starI = 0;
  while (i < s.size()) {
    if (p < pat.size() && pat[p] == '*') {
      starP = ++p;
      starI = i;
    } else if (p < pat.size() && pat[p] == '?') {
      ++p;
      i += std::min(Utf8Len(static_cast<unsigned char>(s[i])), s.size() - i);
    } else if (p < pat.size() && AsciiLower(pat[p]) == AsciiLower(s[i])) {
      ++p;
      ++i;
    } else if (starP != std::string::npos) {
      p = starP;
      i = ++starI;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

std::string BackslashPath(std::string s) {
  std::replace(s.begin(), s.end(), '/', '\\');
  while (!s.empty() && s.back() == '\\') s.pop_back();
  return s;
}

// The components of an entry name that is safe to place below a destination folder;
// throws naming the entry otherwise. "." steps and doubled separators (as some archivers
// write "./name") name no place of their own and are dropped.
std::vector<std::string> SafeComponents(const std::string& name) {
  auto refuse = [&](const std::string& why) {
    throw ZipFault(kZipUnsafePath, "the entry \"" + name + "\" was refused: " + why);
  };
  std::string n = name;
  std::replace(n.begin(), n.end(), '\\', '/');
  if (!n.empty() && n[0] == '/') refuse("absolute path");
  if (n.size() >= 2 && n[1] == ':') refuse("drive letter");
  std::vector<std::string> comps;
  std::size_t start = 0;
  while (start <= n.size()) {
    std::size_t end = n.find('/', start);
    if (end == std::string::npos) end = n.size();
    std::string c = n.substr(start, end - start);
    start = end + 1;
    if (c.empty() || c == ".") continue;
    if (c == "..") refuse("\"..\" leaves the destination folder");
    const filenames::NameFault fault = filenames::CheckFileName(c);
    if (fault != filenames::NameFault::kNone)
      refuse("\"" + c + "\" is not a valid file name (" + filenames::DescribeNameFault(fault) + ")");
    comps.push_back(std::move(c));
  }
  if (comps.empty() && (n.empty() || n.back() != '/')) refuse("empty name");
  return comps;  // empty only for a folder entry such as "./", which names the base itself
}

bool Selected(const std::string& rel, const std::vector<std::string>& include, const std::vector<std::string>& exclude) {
  bool in = include.empty();
  for (const auto& m : include)
    if (MatchesMask(rel, m)) {
      in = true;
      break;
    }
  if (!in) return false;
  for (const auto& m : exclude)
    if (MatchesMask(rel, m)) return false;
  return true;
}

// The archive read sequentially from an open file through a read-ahead window: the local
// headers and data of small entries come from one read, and the file position is moved
// only when a read does not start where the last one ended.
class ArchiveInput : public IZipInput {
 public:
  explicit ArchiveInput(fs::File& f) : f_(f), size_(f.Size()) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buf, std::size_t n) override {
    if (offset > size_ || n > size_ - offset) return false;
    auto* out = static_cast<std::uint8_t*>(buf);
    while (n > 0) {
      if (offset >= winStart_ && offset - winStart_ < window_.size()) {
        const std::size_t at = static_cast<std::size_t>(offset - winStart_);
        const std::size_t take = std::min(n, window_.size() - at);
        std::memcpy(out, window_.data() + at, take);
        out += take;
        offset += take;
        n -= take;
      } else if (n >= kWindow) {
        return ReadRaw(offset, out, n);  // large reads go straight to the caller
      } else {
        window_.resize(static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, size_ - offset)));
        winStart_ = offset;
        if (!ReadRaw(offset, window_.data(), window_.size())) {
          window_.clear();
          return false;
        }
      }
    }
    return true;
  }

 private:
  static constexpr std::size_t kWindow = 256 * 1024;
  static constexpr std::uint64_t kUnknown = ~std::uint64_t{0};
  bool ReadRaw(std::uint64_t offset, std::uint8_t* p, std::size_t n) {
    if (pos_ != offset) {
      if (!f_.Seek(offset)) return false;
      pos_ = offset;
    }
    while (n > 0) {
      std::size_t got = 0;
      if (!f_.Read(p, n, got) || got == 0) {
        pos_ = kUnknown;
        return false;
      }
      p += got;
      n -= got;
      pos_ += got;
    }
    return true;
  }
  fs::File& f_;
  std::uint64_t size_;
  std::uint64_t pos_ = kUnknown;  // the file's position when known (a caller's file: not yet)
  std::uint64_t winStart_ = 0;
  std::vector<std::uint8_t> window_;
};

class FileOutput : public IZipOutput {
 public:
  FileOutput(fs::File& f, const std::string& path) : f_(f), path_(path) {}
  void Write(const void* data, std::size_t n) override {
    if (!f_.Write(data, n)) Fail();
    pos_ += n;
  }
  std::uint64_t Tell() const override { return pos_; }
  void WriteAt(std::uint64_t offset, const void* data, std::size_t n) override {
    if (!f_.WriteAt(offset, data, n)) Fail();
  }
  void Truncate(std::uint64_t size) override {
    if (!f_.Truncate(size)) Fail();
    pos_ = size;
  }

 private:
  [[noreturn]] void Fail() {
    throw ZipFault(kZipWriteFailed, "the archive \"" + path_ + "\" cannot be written: " + fs::LastErrorText());
  }
  fs::File& f_;
  std::string path_;
  std::uint64_t pos_ = 0;
};

class FileSource : public IZipSource {
 public:
  FileSource(fs::File& f, const std::string& path) : f_(f), path_(path) {}
  std::size_t Read(void* buf, std::size_t n) override {
    std::size_t got = 0;
    if (!f_.Read(buf, n, got))
      throw ZipFault(kZipReadFailed, "the file \"" + path_ + "\" cannot be read: " + fs::LastErrorText());
    return got;
  }
  bool Rewind() override { return f_.Seek(0); }

 private:
  fs::File& f_;
  std::string path_;
};

// The file an entry or archive is written to, removed unless it was put in place: a
// temporary file next to the target, or the new target itself when nothing was there
// (created exclusively, so nothing that exists is ever touched before it is complete).
class PartFile {
 public:
  explicit PartFile(const std::string& target, bool direct = false)
      : path_(direct ? target : target + kPartSuffix), direct_(direct) {
    file_ = fs::CreateNew(path_);
    if (!file_ && !direct && fs::Stat(path_).exists && !fs::Stat(path_).isDir) {  // left by an interrupted run
      fs::RemoveFile(path_);
      file_ = fs::CreateNew(path_);
    }
  }
  ~PartFile() {
    if (file_) file_->Close();
    if (!placed_ && created()) fs::RemoveFile(path_);
  }
  bool created() const { return file_ != nullptr || closed_; }
  fs::File& file() { return *file_; }
  const std::string& path() const { return path_; }
  bool Close() {
    bool ok = file_->Close();
    file_.reset();
    closed_ = true;
    return ok;
  }
  bool PlaceAt(const std::string& target) {
    placed_ = direct_ || fs::RenameReplace(path_, target);
    return placed_;
  }

 private:
  std::string path_;
  bool direct_;
  std::unique_ptr<fs::File> file_;
  bool closed_ = false;
  bool placed_ = false;
};

// The archive being read: the caller's open file, or one opened here by name.
struct OpenArchive {
  std::unique_ptr<fs::File> owned;
  std::unique_ptr<ArchiveInput> input;
  std::unique_ptr<TZipReader> reader;
};

void OpenForReading(const std::string& path, fs::File* given, OpenArchive& a) {
  fs::File* file = given;
  if (!file) {
    if (path.empty()) throw ZipFault(kZipBadParameter, "no archive name is set");
    const fs::Info info = fs::Stat(path);
    if (info.exists && info.isDir) throw ZipFault(kZipNoArchive, "\"" + path + "\" is a folder, not an archive");
    a.owned = fs::OpenRead(path);
    if (!a.owned)
      throw ZipFault(kZipNoArchive, "the archive \"" + path + "\" cannot be opened: " + fs::LastErrorText());
    file = a.owned.get();
  }
  a.input = std::make_unique<ArchiveInput>(*file);
  a.reader = std::make_unique<TZipReader>(*a.input);
  a.reader->Open();
}

// An entry to unpack with the path components it gets below the destination.
struct PlannedEntry {
  const ZipEntry* entry;
  std::vector<std::string> comps;
};

// Checks every entry of the archive (selected or not) and returns the selected ones;
// throws at the first that may not be unpacked.
std::vector<PlannedEntry> PlanExtraction(const std::vector<ZipEntry>& entries, const std::vector<std::string>& include,
                                         const std::vector<std::string>& exclude, bool dirNames) {
  std::vector<PlannedEntry> plan;
  for (const ZipEntry& e : entries) {
    std::vector<std::string> comps = SafeComponents(e.info.Name);
    if (e.info.IsLink) throw ZipFault(kZipLinkRefused, "the entry \"" + e.info.Name + "\" was refused: it is a link");
    if (!Selected(e.info.Name, include, exclude)) continue;
    if (!e.info.IsFolder) {
      if (e.info.Encrypted) throw ZipFault(kZipUnsupported, "the entry \"" + e.info.Name + "\" is encrypted");
      if (e.info.Method != 0 && e.info.Method != 8)
        throw ZipFault(kZipUnsupported, "the entry \"" + e.info.Name + "\" uses " + DescribeMethod(e.info.Method) +
                                            ", which is not supported (only stored and deflate are)");
    }
    if (comps.empty()) continue;
    if (!dirNames) {
      if (e.info.IsFolder) continue;
      comps.erase(comps.begin(), comps.end() - 1);
    }
    plan.push_back({&e, std::move(comps)});
  }
  return plan;
}

std::string Megabytes(std::uint64_t bytes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return buf;
}

// Refuses a job whose files do not fit on the volume of `base` (which may not exist yet:
// its nearest existing parent is asked).
void CheckFreeSpace(const std::vector<PlannedEntry>& plan, const std::string& base,
                    const std::function<bool(const std::string&, std::uint64_t&)>& freeSpaceOf) {
  constexpr std::uint64_t kCluster = 4096;
  std::uint64_t need = 0;
  for (const PlannedEntry& p : plan) {
    if (p.entry->info.IsFolder) continue;
    const std::uint64_t size = p.entry->info.UncompressedSize;
    const std::uint64_t clusters = size / kCluster + (size % kCluster != 0);
    if (clusters > (~std::uint64_t{0} / 2 - need) / kCluster) {
      need = ~std::uint64_t{0} / 2;  // beyond any volume
      break;
    }
    need += clusters * kCluster;
  }
  if (need == 0) return;
  need += need / 32 + (1u << 20);
  std::string folder = base;
  while (!fs::Stat(folder).exists) {
    const std::string parent = ParentDir(folder);
    if (parent == folder) return;
    folder = parent;
  }
  std::uint64_t avail = 0;
  const bool known = freeSpaceOf ? freeSpaceOf(folder, avail) : fs::FreeSpace(folder, avail);
  if (known && avail < need)
    throw ZipFault(kZipNoSpace, "the archive's files need " + Megabytes(need) + " but only " + Megabytes(avail) +
                                    " are free on the volume of \"" + base + "\"");
}

// Unpacks planned entries below one base folder.
class Extractor {
 public:
  // `written` and `skipped` count files as they go, so they hold when a later one fails.
  Extractor(TZipReader& reader, std::string base, const TExtrOptions& options, int& written, int& skipped)
      : reader_(reader), base_(std::move(base)), options_(options), written_(written), skipped_(skipped) {}
  void Run(const std::vector<PlannedEntry>& plan);

 private:
  std::string MakeFolders(const PlannedEntry& p, std::size_t count);
  void ExtractFile(const PlannedEntry& p);
  void WriteData(const PlannedEntry& p, PartFile& part, const std::string& target);

  TZipReader& reader_;
  const std::string base_;
  const TExtrOptions& options_;
  int& written_;
  int& skipped_;
  // Folders made or found to be real folders in this job: each is looked at once.
  std::unordered_set<std::string> knownFolders_;
};

void Extractor::Run(const std::vector<PlannedEntry>& plan) {
  std::vector<std::pair<std::string, const TZipEntryInfo*>> folders;
  for (const PlannedEntry& p : plan) {
    if (p.entry->info.IsFolder) folders.emplace_back(MakeFolders(p, p.comps.size()), &p.entry->info);
    else ExtractFile(p);
  }
  // Folder times last: writing into a folder changes them.
  for (auto it = folders.rbegin(); it != folders.rend(); ++it)
    fs::SetTimes(it->first, it->second->Modified, options_.ExtrNTFS ? it->second->Accessed : 0,
                 options_.ExtrNTFS ? it->second->Created : 0);
}

// Creates the folders of comps[0..count) below the base, refusing to pass through links;
// a folder is created first and looked at only when that fails.
std::string Extractor::MakeFolders(const PlannedEntry& p, std::size_t count) {
  std::string path = base_;
  for (std::size_t k = 0; k < count; ++k) {
    path = Join(path, p.comps[k]);
    if (knownFolders_.count(path)) continue;
    if (!fs::CreateDir(path)) {
      const std::string why = fs::LastErrorText();
      const fs::Info i = fs::Stat(path);
      if (i.isLink)
        throw ZipFault(kZipLinkRefused, "the entry \"" + p.entry->info.Name + "\" was refused: \"" + path +
                                            "\" is a link");
      if (!i.exists)
        throw ZipFault(kZipCreateFailed, "the folder \"" + path + "\" cannot be created: " + why);
      if (!i.isDir)
        throw ZipFault(kZipCreateFailed, "the entry \"" + p.entry->info.Name + "\" needs the folder \"" + path +
                                             "\", but a file of that name exists");
    }
    knownFolders_.insert(path);
  }
  return path;
}

void Extractor::ExtractFile(const PlannedEntry& p) {
  const TZipEntryInfo& info = p.entry->info;
  const std::string target = Join(MakeFolders(p, p.comps.size() - 1), p.comps.back());
  // The new file itself, created exclusively; only when something is in the way is it
  // looked at, and a file that is replaced is written beside it under a temporary name.
  std::optional<PartFile> part(std::in_place, target, /*direct=*/true);
  if (!part->created()) {
    const std::string why = fs::LastErrorText();
    const fs::Info ti = fs::Stat(target);
    if (!ti.exists) throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be created: " + why);
    if (ti.isDir)
      throw ZipFault(kZipCreateFailed, "the entry \"" + info.Name + "\" cannot be written: \"" + target +
                                           "\" is a folder");
    if (!options_.ExtrOverWrite) {
      ++skipped_;
      return;
    }
    part.emplace(target, /*direct=*/false);
    if (!part->created())
      throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be created: " + fs::LastErrorText());
  }
  WriteData(p, *part, target);
  if (!part->PlaceAt(target))
    throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be replaced: " + fs::LastErrorText());
  ++written_;
}

// The entry's data into the open part file, checked against its size and CRC, then its
// times and attributes through the same handle, then closed.
void Extractor::WriteData(const PlannedEntry& p, PartFile& part, const std::string& target) {
  const TZipEntryInfo& info = p.entry->info;
  reader_.ReadEntry(*p.entry, [&](const void* data, std::size_t n) {
    if (!part.file().Write(data, n))
      throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be written: " + fs::LastErrorText());
  });
  const unsigned host = p.entry->versionMadeBy >> 8;
  const bool dosAttributes = host == 0 || host == 10 || host == 14;
  part.file().SetTimesAndAttributes(info.Modified, options_.ExtrNTFS ? info.Accessed : 0,
                                    options_.ExtrNTFS ? info.Created : 0, dosAttributes ? info.ExternalAttributes : 0);
  if (!part.Close())
    throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be written: " + fs::LastErrorText());
}

// Adding: walks the root folder and writes the selected files and folders.
class AddWalker {
 public:
  AddWalker(const TZipEngine& engine, TZipWriter& writer, const std::string& archive, const std::string& partPath,
            int& added)
      : engine_(engine), writer_(writer), added_(added) {
    // The archive being written (and the one it replaces) may lie below the root.
    std::uint64_t vol = 0, idx = 0;
    if (fs::FileId(partPath, vol, idx)) skipIds_.emplace_back(vol, idx);
    if (fs::FileId(archive, vol, idx)) skipIds_.emplace_back(vol, idx);
    archiveBase_ = LowerBaseName(archive);
    partBase_ = LowerBaseName(partPath);
  }
  void Walk(const std::string& dir, const std::string& rel);

 private:
  static std::string LowerBaseName(const std::string& p) {
    std::size_t i = p.size();
    while (i > 0 && !IsSep(p[i - 1])) --i;
    std::string n = p.substr(i);
    std::transform(n.begin(), n.end(), n.begin(), AsciiLower);
    return n;
  }
  bool IsTheArchive(const std::string& name, const std::string& path) const;
  TZipWriter::Times TimesOf(const fs::Info& i) const {
    TZipWriter::Times t;
    t.modified = i.modified;
    t.accessed = i.accessed;
    t.created = i.created;
    t.storeNtfs = engine_.AddOptions.AddNTFS;
    return t;
  }
  void AddFolder(const std::string& path, const std::string& entryRel, const fs::Info& i);
  void AddFile(const std::string& path, const std::string& name, const std::string& entryRel, const fs::Info& i);

  const TZipEngine& engine_;
  TZipWriter& writer_;
  int& added_;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> skipIds_;
  std::string archiveBase_, partBase_;
};

// Only a file with the archive's (or its temporary file's) name is asked for its identity.
bool AddWalker::IsTheArchive(const std::string& name, const std::string& path) const {
  const std::string n = LowerBaseName(name);
  if (n != archiveBase_ && n != partBase_) return false;
  std::uint64_t vol = 0, idx = 0;
  return fs::FileId(path, vol, idx) &&
         std::find(skipIds_.begin(), skipIds_.end(), std::make_pair(vol, idx)) != skipIds_.end();
}

void AddWalker::Walk(const std::string& dir, const std::string& rel) {
  std::vector<std::string> list;
  if (!fs::ListDir(dir, list))
    throw ZipFault(kZipReadFailed, "the folder \"" + dir + "\" cannot be read: " + fs::LastErrorText());
  std::sort(list.begin(), list.end());
  const TAddOptions& o = engine_.AddOptions;
  for (const std::string& name : list) {
    const std::string path = Join(dir, name);
    const std::string entryRel = rel.empty() ? name : rel + "/" + name;
    const fs::Info i = fs::Stat(path);
    if (!i.exists || i.isLink) continue;
    if ((i.hidden || i.system) && !o.AddHiddenFiles) continue;
    if (i.isDir) {
      if (o.AddRecurseDirs) AddFolder(path, entryRel, i);
    } else if (Selected(entryRel, engine_.IncludeSpecs, engine_.ExcludeSpecs) && !IsTheArchive(name, path)) {
      AddFile(path, name, entryRel, i);
    }
  }
}

void AddWalker::AddFolder(const std::string& path, const std::string& entryRel, const fs::Info& i) {
  for (const auto& m : engine_.ExcludeSpecs)
    if (MatchesMask(entryRel, m)) return;
  if (engine_.AddOptions.AddDirNames && Selected(entryRel, engine_.IncludeSpecs, {}))
    writer_.AddFolder(entryRel + "/", TimesOf(i), i.dosAttributes & 0x06);
  Walk(path, entryRel);
}

void AddWalker::AddFile(const std::string& path, const std::string& name, const std::string& entryRel,
                        const fs::Info& i) {
  auto f = fs::OpenRead(path);
  if (!f) throw ZipFault(kZipReadFailed, "the file \"" + path + "\" cannot be read: " + fs::LastErrorText());
  FileSource src(*f, path);
  writer_.AddFile(engine_.AddOptions.AddDirNames ? entryRel : name, src, i.size, TimesOf(i), i.dosAttributes & 0x27);
  ++added_;
}

}  // namespace

bool MatchesMask(const std::string& relativePath, const std::string& mask) {
  std::string m = BackslashPath(mask);
  const std::string rel = BackslashPath(relativePath);
  if (m.empty()) return false;
  if (m.size() >= 3 && m.compare(m.size() - 3, 3, "*.*") == 0) m.resize(m.size() - 2);  // "*.*" is every name
  if (m.find('\\') != std::string::npos) return WildMatch(m, rel);
  const std::size_t slash = rel.find_last_of('\\');
  return WildMatch(m, slash == std::string::npos ? rel : rel.substr(slash + 1));
}

int TZipEngine::Run(int (TZipEngine::*op)()) {
  errCode_ = 0;
  errMessage_.clear();
  successCnt_ = skippedCnt_ = 0;
  try {
    return (this->*op)();
  } catch (const ZipFault& f) {
    errCode_ = f.code;
    errMessage_ = f.what();
  } catch (const std::bad_alloc&) {
    errCode_ = kZipInternal;
    errMessage_ = "out of memory";
  } catch (const std::exception& e) {
    errCode_ = kZipInternal;
    errMessage_ = e.what();
  }
  if (RaiseErrors) throw EZipError(errMessage_);
  return errCode_;
}

int TZipEngine::Extract() { return Run(&TZipEngine::DoExtract); }
int TZipEngine::Add() { return Run(&TZipEngine::DoAdd); }
int TZipEngine::Test() { return Run(&TZipEngine::DoTest); }
int TZipEngine::List(std::vector<TZipEntryInfo>& entries) {
  listOut_ = &entries;
  const int rc = Run(&TZipEngine::DoList);
  listOut_ = nullptr;
  return rc;
}

int TZipEngine::DoList() {
  OpenArchive a;
  OpenForReading(ZipFileName, ArchiveFile, a);
  listOut_->clear();
  for (const ZipEntry& e : a.reader->Entries()) listOut_->push_back(e.info);
  return 0;
}

int TZipEngine::DoTest() {
  OpenArchive a;
  OpenForReading(ZipFileName, ArchiveFile, a);
  for (const ZipEntry& e : a.reader->Entries()) {
    if (e.info.IsFolder || !Selected(e.info.Name, IncludeSpecs, ExcludeSpecs)) continue;
    a.reader->ReadEntry(e, [](const void*, std::size_t) {});
    ++successCnt_;
  }
  return 0;
}

int TZipEngine::DoExtract() {
  if (ExtrBaseDir.empty()) throw ZipFault(kZipBadParameter, "no extraction folder is set");
  OpenArchive a;
  OpenForReading(ZipFileName, ArchiveFile, a);
  // Every entry is checked, and the room it needs, before the first byte is written.
  const std::vector<PlannedEntry> plan =
      PlanExtraction(a.reader->Entries(), IncludeSpecs, ExcludeSpecs, ExtrOptions.ExtrDirNames);
  const std::string base = StripTrailingSeps(ExtrBaseDir);
  CheckFreeSpace(plan, base, FreeSpaceOf);

  const fs::Info bi = fs::Stat(base);
  if (!bi.exists) {
    if (!ExtrOptions.ExtrForceDirs)
      throw ZipFault(kZipNoDestination, "the extraction folder \"" + base + "\" does not exist");
    if (!MakeDirs(base))
      throw ZipFault(kZipCreateFailed, "the folder \"" + base + "\" cannot be created: " + fs::LastErrorText());
  } else if (!bi.isDir) {
    throw ZipFault(kZipNoDestination, "\"" + base + "\" is not a folder");
  }
  Extractor(*a.reader, base, ExtrOptions, successCnt_, skippedCnt_).Run(plan);
  return 0;
}

int TZipEngine::DoAdd() {
  if (ZipFileName.empty()) throw ZipFault(kZipBadParameter, "no archive name is set");
  if (RootDir.empty()) throw ZipFault(kZipBadParameter, "no root folder is set");
  if (CompressionLevel < 0 || CompressionLevel > 9) throw ZipFault(kZipBadParameter, "the compression level must be 0 to 9");
  const std::string root = StripTrailingSeps(RootDir);
  const fs::Info ri = fs::Stat(root);
  if (!ri.exists || !ri.isDir) throw ZipFault(kZipNoRoot, "the folder \"" + root + "\" does not exist");

  const std::string archiveDir = ParentDir(ZipFileName);
  if (!fs::Stat(archiveDir).exists) {
    if (!WriteOptions.ZwoForceDest)
      throw ZipFault(kZipWriteFailed, "the archive's folder \"" + archiveDir + "\" does not exist");
    if (!MakeDirs(archiveDir))
      throw ZipFault(kZipWriteFailed, "the folder \"" + archiveDir + "\" cannot be created: " + fs::LastErrorText());
  }
  if (fs::Stat(ZipFileName).isDir) throw ZipFault(kZipWriteFailed, "\"" + ZipFileName + "\" is a folder");

  PartFile part(ZipFileName);
  if (!part.created())
    throw ZipFault(kZipWriteFailed, "the archive \"" + ZipFileName + "\" cannot be created: " + fs::LastErrorText());
  FileOutput out(part.file(), ZipFileName);
  TZipWriter writer(out, CompressionLevel, WriteOptions.ForceZip64);
  AddWalker(*this, writer, ZipFileName, part.path(), successCnt_).Walk(root, "");
  writer.Finish();
  if (!part.Close())
    throw ZipFault(kZipWriteFailed, "the archive \"" + ZipFileName + "\" cannot be written: " + fs::LastErrorText());
  if (!part.PlaceAt(ZipFileName))
    throw ZipFault(kZipWriteFailed, "the archive \"" + ZipFileName + "\" cannot be put in place: " + fs::LastErrorText());
  return 0;
}

}  // namespace orfzip
