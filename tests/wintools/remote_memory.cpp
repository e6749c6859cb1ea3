#include "remote_memory.h"

namespace {
bool IsWow64(HANDLE process) {
  BOOL wow = FALSE;
  return IsWow64Process(process, &wow) && wow;
}
}  // namespace

RemoteBuffer::RemoteBuffer(HWND owner, size_t size) {
  DWORD pid = 0;
  GetWindowThreadProcessId(owner, &pid);
  process_.reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                                 PROCESS_QUERY_LIMITED_INFORMATION,
                             FALSE, pid));
  if (!process_ || IsWow64(process_.get()) != IsWow64(GetCurrentProcess())) return;
  base_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

RemoteBuffer::~RemoteBuffer() {
  if (base_) VirtualFreeEx(process_.get(), base_, 0, MEM_RELEASE);
}

bool RemoteBuffer::Write(size_t offset, const void* data, size_t n) const {
  SIZE_T done = 0;
  return WriteProcessMemory(process_.get(), static_cast<char*>(base_) + offset, data, n, &done) &&
         done == n;
}

bool RemoteBuffer::Read(size_t offset, void* data, size_t n) const {
  SIZE_T done = 0;
  return ReadProcessMemory(process_.get(), static_cast<char*>(base_) + offset, data, n, &done) &&
         done == n;
}
