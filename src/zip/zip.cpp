// The ZIP engine's jobs: extract, test, list and add, on top of the format reader and
// writer and the file layer.
#include "zip/zip.h"

#include <algorithm>
#include <new>

#include "base/errors.h"
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
    if (IsSep(path[i]) && !IsSep(path[i - 1])) fs::MakeDir(path.substr(0, i));
  }
  return fs::MakeDir(path);
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

bool ValidUtf8(const std::string& s) {
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t n = Utf8Len(c);
    if (n == 1 && c >= 0x80) return false;
    if (i + n > s.size()) return false;
    for (std::size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

bool IsReservedDeviceName(const std::string& comp) {
  std::string base = comp.substr(0, comp.find('.'));
  std::transform(base.begin(), base.end(), base.begin(), AsciiLower);
  static const char* const kNames[] = {"con", "prn", "aux", "nul", "conin$", "conout$"};
  for (const char* n : kNames)
    if (base == n) return true;
  if (base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) && base[3] >= '0' &&
      base[3] <= '9')
    return true;
  return false;
}

// The components of an entry name that is safe to place below a destination folder;
// throws naming the entry otherwise.
std::vector<std::string> SafeComponents(const std::string& name) {
  auto refuse = [&](const std::string& why) {
    throw ZipFault(kZipUnsafePath, "the entry \"" + name + "\" was refused: " + why);
  };
  if (!ValidUtf8(name)) refuse("its name is not valid text");
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
    for (unsigned char ch : c) {
      if (ch < 0x20 || std::string_view("<>:\"|?*").find(static_cast<char>(ch)) != std::string_view::npos)
        refuse("the name holds a character a file name cannot have");
    }
    if (c.back() == '.' || c.back() == ' ') refuse("a name part ends with a dot or a space");
    if (IsReservedDeviceName(c)) refuse("\"" + c + "\" is a device name");
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

class FileInput : public IZipInput {
 public:
  explicit FileInput(fs::File& f) : f_(f), size_(f.Size()) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* buf, std::size_t n) override {
    if (offset > size_ || n > size_ - offset) return false;
    return n == 0 || f_.ReadAt(offset, buf, n);
  }

 private:
  fs::File& f_;
  std::uint64_t size_;
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

struct OpenArchive {
  std::unique_ptr<fs::File> file;
  std::unique_ptr<FileInput> input;
  std::unique_ptr<TZipReader> reader;
};

void OpenForReading(const std::string& path, OpenArchive& a) {
  if (path.empty()) throw ZipFault(kZipBadParameter, "no archive name is set");
  const fs::Info info = fs::Stat(path);
  if (info.exists && info.isDir) throw ZipFault(kZipNoArchive, "\"" + path + "\" is a folder, not an archive");
  a.file = fs::OpenRead(path);
  if (!a.file) throw ZipFault(kZipNoArchive, "the archive \"" + path + "\" cannot be opened: " + fs::LastErrorText());
  a.input = std::make_unique<FileInput>(*a.file);
  a.reader = std::make_unique<TZipReader>(*a.input);
  a.reader->Open();
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
  OpenForReading(ZipFileName, a);
  listOut_->clear();
  for (const ZipEntry& e : a.reader->Entries()) listOut_->push_back(e.info);
  return 0;
}

int TZipEngine::DoTest() {
  OpenArchive a;
  OpenForReading(ZipFileName, a);
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
  OpenForReading(ZipFileName, a);
  const auto& entries = a.reader->Entries();

  // Check every entry before the first byte is written.
  struct Planned {
    const ZipEntry* entry;
    std::vector<std::string> comps;
  };
  std::vector<Planned> plan;
  for (const ZipEntry& e : entries) {
    std::vector<std::string> comps = SafeComponents(e.info.Name);
    if (e.info.IsLink) throw ZipFault(kZipLinkRefused, "the entry \"" + e.info.Name + "\" was refused: it is a link");
    if (!Selected(e.info.Name, IncludeSpecs, ExcludeSpecs)) continue;
    if (!e.info.IsFolder) {
      if (e.info.Encrypted) throw ZipFault(kZipUnsupported, "the entry \"" + e.info.Name + "\" is encrypted");
      if (e.info.Method != 0 && e.info.Method != 8)
        throw ZipFault(kZipUnsupported, "the entry \"" + e.info.Name + "\" uses compression method " +
                                            std::to_string(e.info.Method));
    }
    if (comps.empty()) continue;
    if (!ExtrOptions.ExtrDirNames) {
      if (e.info.IsFolder) continue;
      comps.erase(comps.begin(), comps.end() - 1);
    }
    plan.push_back({&e, std::move(comps)});
  }

  const std::string base = StripTrailingSeps(ExtrBaseDir);
  fs::Info bi = fs::Stat(base);
  if (!bi.exists) {
    if (!ExtrOptions.ExtrForceDirs)
      throw ZipFault(kZipNoDestination, "the extraction folder \"" + base + "\" does not exist");
    if (!MakeDirs(base))
      throw ZipFault(kZipCreateFailed, "the folder \"" + base + "\" cannot be created: " + fs::LastErrorText());
  } else if (!bi.isDir) {
    throw ZipFault(kZipNoDestination, "\"" + base + "\" is not a folder");
  }

  // Creates the folders of comps[0..count) below base, refusing to pass through links.
  auto makeFolders = [&](const Planned& p, std::size_t count) {
    std::string path = base;
    for (std::size_t k = 0; k < count; ++k) {
      path = Join(path, p.comps[k]);
      const fs::Info i = fs::Stat(path);
      if (i.isLink)
        throw ZipFault(kZipLinkRefused, "the entry \"" + p.entry->info.Name + "\" was refused: \"" + path +
                                            "\" is a link");
      if (i.exists && !i.isDir)
        throw ZipFault(kZipCreateFailed, "the entry \"" + p.entry->info.Name + "\" needs the folder \"" + path +
                                             "\", but a file of that name exists");
      if (!i.exists && !fs::MakeDir(path))
        throw ZipFault(kZipCreateFailed, "the folder \"" + path + "\" cannot be created: " + fs::LastErrorText());
    }
    return path;
  };

  std::vector<std::pair<std::string, const TZipEntryInfo*>> folders;
  for (const Planned& p : plan) {
    const TZipEntryInfo& info = p.entry->info;
    if (info.IsFolder) {
      folders.emplace_back(makeFolders(p, p.comps.size()), &info);
      continue;
    }
    const std::string dir = makeFolders(p, p.comps.size() - 1);
    const std::string target = Join(dir, p.comps.back());
    const fs::Info ti = fs::Stat(target);
    if (ti.exists && ti.isDir)
      throw ZipFault(kZipCreateFailed, "the entry \"" + info.Name + "\" cannot be written: \"" + target +
                                           "\" is a folder");
    if (ti.exists && !ExtrOptions.ExtrOverWrite) {
      ++skippedCnt_;
      continue;
    }
    PartFile part(target, /*direct=*/!ti.exists);
    if (!part.created())
      throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be created: " + fs::LastErrorText());
    a.reader->ReadEntry(*p.entry, [&](const void* data, std::size_t n) {
      if (!part.file().Write(data, n))
        throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be written: " + fs::LastErrorText());
    });
    if (!part.Close())
      throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be written: " + fs::LastErrorText());
    fs::SetTimes(part.path(), info.Modified, ExtrOptions.ExtrNTFS ? info.Accessed : 0,
                 ExtrOptions.ExtrNTFS ? info.Created : 0);
    const unsigned host = p.entry->versionMadeBy >> 8;
    if (host == 0 || host == 10 || host == 14) fs::SetDosAttributes(part.path(), info.ExternalAttributes);
    if (!part.PlaceAt(target))
      throw ZipFault(kZipCreateFailed, "the file \"" + target + "\" cannot be replaced: " + fs::LastErrorText());
    ++successCnt_;
  }
  // Folder times last: writing into a folder changes them.
  for (auto it = folders.rbegin(); it != folders.rend(); ++it)
    fs::SetTimes(it->first, it->second->Modified, ExtrOptions.ExtrNTFS ? it->second->Accessed : 0,
                 ExtrOptions.ExtrNTFS ? it->second->Created : 0);
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
  const fs::Info ai = fs::Stat(archiveDir);
  if (!ai.exists) {
    if (!WriteOptions.ZwoForceDest)
      throw ZipFault(kZipWriteFailed, "the archive's folder \"" + archiveDir + "\" does not exist");
    if (!MakeDirs(archiveDir))
      throw ZipFault(kZipWriteFailed, "the folder \"" + archiveDir + "\" cannot be created: " + fs::LastErrorText());
  }
  if (fs::Stat(ZipFileName).isDir) throw ZipFault(kZipWriteFailed, "\"" + ZipFileName + "\" is a folder");

  PartFile part(ZipFileName);
  if (!part.created())
    throw ZipFault(kZipWriteFailed, "the archive \"" + ZipFileName + "\" cannot be created: " + fs::LastErrorText());
  // The archive being written (and the one it replaces) may lie below the root.
  std::vector<std::pair<std::uint64_t, std::uint64_t>> skipIds;
  std::uint64_t vol = 0, idx = 0;
  if (fs::FileId(part.path(), vol, idx)) skipIds.emplace_back(vol, idx);
  if (fs::FileId(ZipFileName, vol, idx)) skipIds.emplace_back(vol, idx);

  auto lowerName = [](std::string n) {
    std::transform(n.begin(), n.end(), n.begin(), AsciiLower);
    return n;
  };
  auto baseName = [&](const std::string& p) {
    std::size_t i = p.size();
    while (i > 0 && !IsSep(p[i - 1])) --i;
    return lowerName(p.substr(i));
  };
  const std::string archiveBase = baseName(ZipFileName), partBase = baseName(part.path());
  auto IsCandidateArchive = [&](const std::string& name) {
    const std::string n = lowerName(name);
    return n == archiveBase || n == partBase;
  };

  FileOutput out(part.file(), ZipFileName);
  TZipWriter writer(out, CompressionLevel, WriteOptions.ForceZip64);
  std::vector<std::string> names;

  auto times = [&](const fs::Info& i) {
    TZipWriter::Times t;
    t.modified = i.modified;
    t.accessed = i.accessed;
    t.created = i.created;
    t.storeNtfs = AddOptions.AddNTFS;
    return t;
  };

  auto walk = [&](auto& self, const std::string& dir, const std::string& rel) -> void {
    std::vector<std::string> list;
    if (!fs::ListDir(dir, list))
      throw ZipFault(kZipReadFailed, "the folder \"" + dir + "\" cannot be read: " + fs::LastErrorText());
    std::sort(list.begin(), list.end());
    for (const std::string& name : list) {
      const std::string path = Join(dir, name);
      const std::string entryRel = rel.empty() ? name : rel + "/" + name;
      const fs::Info i = fs::Stat(path);
      if (!i.exists || i.isLink) continue;
      if ((i.hidden || i.system) && !AddOptions.AddHiddenFiles) continue;
      if (i.isDir) {
        if (!AddOptions.AddRecurseDirs) continue;
        bool excluded = false;
        for (const auto& m : ExcludeSpecs) excluded = excluded || MatchesMask(entryRel, m);
        if (excluded) continue;
        if (AddOptions.AddDirNames && Selected(entryRel, IncludeSpecs, {}))
          writer.AddFolder(entryRel + "/", times(i), i.dosAttributes & 0x06);
        self(self, path, entryRel);
        continue;
      }
      if (!Selected(entryRel, IncludeSpecs, ExcludeSpecs)) continue;
      if (IsCandidateArchive(name) && fs::FileId(path, vol, idx) &&
          std::find(skipIds.begin(), skipIds.end(), std::make_pair(vol, idx)) != skipIds.end())
        continue;
      auto f = fs::OpenRead(path);
      if (!f) throw ZipFault(kZipReadFailed, "the file \"" + path + "\" cannot be read: " + fs::LastErrorText());
      FileSource src(*f, path);
      writer.AddFile(AddOptions.AddDirNames ? entryRel : name, src, i.size, times(i), i.dosAttributes & 0x27);
      ++successCnt_;
    }
  };
  walk(walk, root, "");
  writer.Finish();
  if (!part.Close())
    throw ZipFault(kZipWriteFailed, "the archive \"" + ZipFileName + "\" cannot be written: " + fs::LastErrorText());
  if (!part.PlaceAt(ZipFileName))
    throw ZipFault(kZipWriteFailed, "the archive \"" + ZipFileName + "\" cannot be put in place: " + fs::LastErrorText());
  return 0;
}

}  // namespace orfzip
