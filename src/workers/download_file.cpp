#include "workers/download_file.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include "base/errors.h"
#include "base/win_error.h"
#include "base/win_text.h"

namespace {

[[noreturn]] void RaiseStatus(const char* what, NTSTATUS status) {
  throw EOSError(std::string(what) + " failed with status 0x" + [&] {
    char hex[16];
    wsprintfA(hex, "%08lX", static_cast<unsigned long>(status));
    return std::string(hex);
  }());
}

[[noreturn]] void RaiseError(const std::string& what, DWORD error) {
  throw EOSError(what + ": " + SystemErrorText(error));
}

constexpr DWORD kReadBack = 256u << 10;  // bytes per read when hashing from the disk

}  // namespace

// An MD5 sum fed in pieces (CNG).
class DownloadFile::Md5Hash {
 public:
  Md5Hash() {
    NTSTATUS st = BCryptOpenAlgorithmProvider(&alg_, BCRYPT_MD5_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(st)) RaiseStatus("BCryptOpenAlgorithmProvider", st);
    DWORD objectLength = 0, got = 0;
    st = BCryptGetProperty(alg_, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                           sizeof(objectLength), &got, 0);
    if (BCRYPT_SUCCESS(st)) {
      object_.resize(objectLength ? objectLength : 1);
      st = BCryptCreateHash(alg_, &hash_, object_.data(), objectLength, nullptr, 0, 0);
    }
    if (!BCRYPT_SUCCESS(st)) {
      BCryptCloseAlgorithmProvider(alg_, 0);
      RaiseStatus("BCryptCreateHash", st);
    }
  }
  ~Md5Hash() {
    BCryptDestroyHash(hash_);
    BCryptCloseAlgorithmProvider(alg_, 0);
  }
  void Add(const char* data, size_t size) {
    while (size) {
      const ULONG piece = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
      NTSTATUS st = BCryptHashData(hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(data)), piece, 0);
      if (!BCRYPT_SUCCESS(st)) RaiseStatus("BCryptHashData", st);
      data += piece;
      size -= piece;
    }
  }
  std::string Hex() {
    UCHAR digest[16];
    NTSTATUS st = BCryptFinishHash(hash_, digest, sizeof(digest), 0);
    if (!BCRYPT_SUCCESS(st)) RaiseStatus("BCryptFinishHash", st);
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (UCHAR b : digest) {
      hex += kDigits[b >> 4];
      hex += kDigits[b & 15];
    }
    return hex;
  }

 private:
  BCRYPT_ALG_HANDLE alg_ = nullptr;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
  std::vector<UCHAR> object_;
};

DownloadFile::DownloadFile(std::string path) : path_(std::move(path)), partial_(path_ + ".part") {
  // Read access for the unpacking, delete access to rename or delete it through this handle;
  // others may read it, nothing more.
  file_.reset(CreateFileW(Widen(partial_).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_) RaiseError("Cannot create " + partial_, GetLastError());
  try {
    hash_ = new Md5Hash();
  } catch (...) {
    Discard();
    throw;
  }
}

DownloadFile::~DownloadFile() {
  if (file_ && !kept_) Discard();
  delete hash_;
}

void DownloadFile::WriteAt(uint64_t offset, const char* data, size_t size) {
  while (size) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD written = 0;
    if (!WriteFile(file_.get(), data, piece, &written, &at) || written != piece)
      RaiseError("Cannot write " + partial_, GetLastError());
    data += piece;
    size -= piece;
    offset += piece;
  }
}

void DownloadFile::ReadAt(uint64_t offset, char* data, DWORD size) {
  while (size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(file_.get(), data, size, &got, &at)) RaiseError("Cannot read " + partial_, GetLastError());
    if (got == 0) throw EOSError("Cannot read " + partial_ + ": the file is shorter than its download");
    data += got;
    size -= got;
    offset += got;
  }
}

uint64_t DownloadFile::ArrivedFrom(uint64_t offset) const {
  auto it = arrived_.upper_bound(offset);
  if (it == arrived_.begin()) return offset;
  --it;
  return std::max(it->second, offset);
}

void DownloadFile::Write(uint64_t offset, const char* data, size_t size) {
  if (size == 0) return;
  {
    // Each byte is written once: what the sum was computed over and what the unpacking read
    // are then the same bytes.
    std::lock_guard lock(mu_);
    auto next = arrived_.upper_bound(offset);
    const bool before = next != arrived_.begin() && std::prev(next)->second > offset;
    if (before || (next != arrived_.end() && next->first < offset + size))
      throw EOSError("Cannot write " + partial_ + ": bytes at " + std::to_string(offset) + " arrived twice");
  }
  WriteAt(offset, data, size);
  std::unique_lock lock(mu_);
  // Record the bytes, joined with the runs they touch.
  uint64_t first = offset, last = offset + size;
  auto it = arrived_.upper_bound(first);
  if (it != arrived_.begin() && std::prev(it)->second >= first) {
    --it;
    first = it->first;
  }
  while (it != arrived_.end() && it->first <= last) {
    last = std::max(last, it->second);
    it = arrived_.erase(it);
  }
  arrived_[first] = last;
  changed_.notify_all();
  HashArrived(lock, offset, data, size);
}

// Adds the bytes that continue the sum, as long as there are any: those of this write from
// memory, those that arrived earlier behind a gap from the file. One thread at a time.
void DownloadFile::HashArrived(std::unique_lock<std::mutex>& lock, uint64_t offset, const char* data, size_t size) {
  if (hashing_) return;
  hashing_ = true;
  std::vector<char> buffer;
  try {
    for (uint64_t upTo = ArrivedFrom(hashed_); upTo > hashed_; upTo = ArrivedFrom(hashed_)) {
      const uint64_t from = hashed_;
      uint64_t to = 0;
      lock.unlock();
      if (from >= offset && from < offset + size) {
        to = std::min<uint64_t>(upTo, offset + size);
        hash_->Add(data + (from - offset), static_cast<size_t>(to - from));
      } else {
        to = HashFromFile(from, upTo, buffer);
      }
      lock.lock();
      hashed_ = to;
    }
  } catch (...) {
    if (!lock.owns_lock()) lock.lock();
    hashing_ = false;
    changed_.notify_all();
    throw;
  }
  hashing_ = false;
  changed_.notify_all();
}

uint64_t DownloadFile::HashFromFile(uint64_t from, uint64_t upTo, std::vector<char>& buffer) {
  const uint64_t to = std::min<uint64_t>(upTo, from + kReadBack);
  buffer.resize(kReadBack);
  ReadAt(from, buffer.data(), static_cast<DWORD>(to - from));
  hash_->Add(buffer.data(), static_cast<size_t>(to - from));
  return to;
}

void DownloadFile::Expect(uint64_t size) {
  std::lock_guard lock(mu_);
  expected_ = size;
  sizeKnown_ = true;
  changed_.notify_all();
}

void DownloadFile::EndArrivals() {
  std::lock_guard lock(mu_);
  ended_ = true;
  changed_.notify_all();
}

bool DownloadFile::WaitForSize(uint64_t& size) {
  std::unique_lock lock(mu_);
  changed_.wait(lock, [&] { return sizeKnown_ || ended_; });
  size = expected_;
  return sizeKnown_;
}

bool DownloadFile::WaitForBytes(uint64_t offset, uint64_t size) {
  std::unique_lock lock(mu_);
  changed_.wait(lock, [&] { return ArrivedFrom(offset) - offset >= size || ended_; });
  return ArrivedFrom(offset) - offset >= size;
}

void DownloadFile::Complete(uint64_t size) {
  {
    std::lock_guard lock(mu_);
    ended_ = true;
    if (!sizeKnown_) expected_ = size;
    sizeKnown_ = true;
    changed_.notify_all();
  }
  size_ = size;
  // The name goes with the handle: the file is never closed on its way to its name.
  const std::wstring name = Widen(path_);
  std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + (name.size() + 1) * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
  if (!SetFileInformationByHandle(file_.get(), FileRenameInfo, info, static_cast<DWORD>(buffer.size())))
    RaiseError("Cannot rename " + partial_ + " to " + path_, GetLastError());
  partial_ = path_;
}

std::string DownloadFile::Md5() {
  std::unique_lock lock(mu_);
  changed_.wait(lock, [&] { return !hashing_; });
  std::vector<char> buffer;
  while (hashed_ < size_) hashed_ = HashFromFile(hashed_, size_, buffer);
  return hash_->Hex();
}

void DownloadFile::Discard() {
  EndArrivals();
  if (!file_) return;
  FILE_DISPOSITION_INFO dispose{};
  dispose.DeleteFile = TRUE;
  const bool marked = SetFileInformationByHandle(file_.get(), FileDispositionInfo, &dispose, sizeof(dispose));
  file_.reset();
  if (!marked) DeleteFileW(Widen(partial_).c_str());
}
