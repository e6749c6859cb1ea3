#pragma once
// A block of memory inside the process that owns a window, for the common-control messages
// whose parameters are pointers (list view and tab items): the system copies only the
// classic window messages' strings between processes, not these structures.
#include <windows.h>

#include <cstddef>

#include "base/handles.h"

class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size);
  ~RemoteBuffer();
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  // False when the process cannot be opened, has the other bitness (its structures would
  // not match ours) or refuses the allocation.
  bool Ok() const { return base_ != nullptr; }
  // The address inside the other process, for a message parameter.
  LPARAM At(size_t offset) const { return reinterpret_cast<LPARAM>(static_cast<char*>(base_) + offset); }
  bool Write(size_t offset, const void* data, size_t n) const;
  bool Read(size_t offset, void* data, size_t n) const;

 private:
  UniqueHandle process_;
  void* base_ = nullptr;
};
