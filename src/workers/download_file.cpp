#include "workers/download_file.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
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

constexpr DWORD kReadBack = 1u << 20;  // bytes per read when hashing from the disk

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
  if (file_) Discard();
  delete hash_;
}

void DownloadFile::Write(uint64_t offset, const char* data, size_t size) {
  {
    // Bytes that continue what was hashed are hashed now; the others are read back later.
    std::lock_guard lock(mu_);
    if (offset == hashed_) {
      hash_->Add(data, size);
      hashed_ += size;
    }
  }
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

void DownloadFile::Complete(uint64_t size) {
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

void DownloadFile::HashFromDisk(uint64_t end) {
  std::vector<char> buffer(kReadBack);
  while (hashed_ < end) {
    const DWORD want = static_cast<DWORD>(std::min<uint64_t>(kReadBack, end - hashed_));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(hashed_);
    at.OffsetHigh = static_cast<DWORD>(hashed_ >> 32);
    DWORD got = 0;
    if (!ReadFile(file_.get(), buffer.data(), want, &got, &at)) RaiseError("Cannot read " + partial_, GetLastError());
    if (got == 0) throw EOSError("Cannot read " + partial_ + ": the file is shorter than its download");
    hash_->Add(buffer.data(), got);
    hashed_ += got;
  }
}

std::string DownloadFile::Md5() {
  std::lock_guard lock(mu_);
  HashFromDisk(size_);
  return hash_->Hex();
}

void DownloadFile::Discard() {
  if (!file_) return;
  FILE_DISPOSITION_INFO dispose{};
  dispose.DeleteFile = TRUE;
  const bool marked = SetFileInformationByHandle(file_.get(), FileDispositionInfo, &dispose, sizeof(dispose));
  file_.reset();
  if (!marked) DeleteFileW(Widen(partial_).c_str());
}

UniqueFile DownloadFile::Release() { return std::move(file_); }
