#include "screenshot.h"

#include <cstdint>
#include <vector>

#include "base/handles.h"
#include "control_actions.h"

namespace {

struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ~ScreenDc() { ReleaseDC(nullptr, dc); }
};
struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC compatible) : dc(CreateCompatibleDC(compatible)) {}
  ~MemoryDc() { DeleteDC(dc); }
};
struct Bitmap {
  HBITMAP bitmap = nullptr;
  ~Bitmap() {
    if (bitmap) DeleteObject(bitmap);
  }
};

bool WriteBmp(const std::wstring& path, int width, int height, const uint8_t* bottomUpRows,
              size_t rowBytes) {
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = static_cast<DWORD>(rowBytes * static_cast<size_t>(height));
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + info.biSizeImage;

  UniqueFile out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return false;
  DWORD done = 0;
  return WriteFile(out.get(), &file, sizeof file, &done, nullptr) && done == sizeof file &&
         WriteFile(out.get(), &info, sizeof info, &done, nullptr) && done == sizeof info &&
         WriteFile(out.get(), bottomUpRows, info.biSizeImage, &done, nullptr) &&
         done == info.biSizeImage;
}

}  // namespace

bool SaveWindowPicture(HWND top, bool clientOnly, const std::wstring& bmpPath, std::wstring& why) {
  // On top of every other window, fully painted.
  SetForegroundWindow(top);
  SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  Ping(top);
  Sleep(300);
  Ping(top);

  RECT r{};
  if (clientOnly) {
    GetClientRect(top, &r);
    MapWindowPoints(top, HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  } else {
    GetWindowRect(top, &r);
  }
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) {
    why = L"the window has no area";
    return false;
  }

  ScreenDc screen;
  MemoryDc memory(screen.dc);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = width;
  bi.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores its rows
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Bitmap dib;
  dib.bitmap = CreateDIBSection(screen.dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib.bitmap || !bits) {
    why = L"no memory for the picture";
    return false;
  }
  const HGDIOBJ old = SelectObject(memory.dc, dib.bitmap);
  const bool copied = BitBlt(memory.dc, 0, 0, width, height, screen.dc, r.left, r.top, SRCCOPY);
  GdiFlush();
  SelectObject(memory.dc, old);
  if (!copied) {
    why = L"the screen could not be read";
    return false;
  }
  const size_t rowBytes = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
  if (!WriteBmp(bmpPath, width, height, static_cast<const uint8_t*>(bits), rowBytes)) {
    why = L"the file could not be written";
    return false;
  }
  return true;
}
