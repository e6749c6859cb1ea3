// The window base and the control table under Wine: ownership of the window, messages
// reaching the object, controls placed from their 96-DPI table and scaled, texts set again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/control_layout.h"
#include "ui/window_base.h"

namespace {

std::string g_label = "first";

constexpr ControlSpec kControls[] = {
    {101, L"STATIC", WS_VISIBLE, 0, 272, 40, 300, 13, &g_label},
    {102, L"EDIT", WS_VISIBLE | WS_TABSTOP, WS_EX_CLIENTEDGE, 432, 200, 193, 21, nullptr},
    {103, L"BUTTON", WS_VISIBLE | WS_TABSTOP, 0, 582, 424, 75, 25, &g_label},
};

class TestWindow : public WindowBase {
 public:
  TestWindow() {
    CreateWindowFor(L"OrfedaTestWindow", 0, "test", WS_OVERLAPPED | WS_CAPTION, 0, 0, 800, 600,
                    nullptr);
  }
  std::vector<UINT> seen;

 protected:
  LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
    seen.push_back(msg);
    if (msg == WM_APP + 5) throw std::runtime_error("escaped");
    return WindowBase::HandleMessage(msg, wp, lp);
  }
};

RECT ClientRectOf(HWND parent, int id) {
  RECT r{};
  HWND c = GetDlgItem(parent, id);
  GetWindowRect(c, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Seen(const TestWindow& w, UINT msg) {
  for (UINT m : w.seen)
    if (m == msg) return true;
  return false;
}

TEST(WindowBaseTest, OwnsItsWindowAndGetsItsMessages) {
  HWND h = nullptr;
  {
    TestWindow w;
    h = w.hwnd();
    ASSERT_TRUE(IsWindow(h));
    EXPECT_TRUE(Seen(w, WM_NCCREATE));
    EXPECT_TRUE(Seen(w, WM_CREATE));
    // An error inside a message is contained: the message returns 0 and the window lives.
    EXPECT_EQ(SendMessageW(h, WM_APP + 5, 0, 0), 0);
    EXPECT_TRUE(IsWindow(h));
  }
  EXPECT_FALSE(IsWindow(h));

  // A window destroyed from outside leaves the object without one.
  TestWindow w2;
  DestroyWindow(w2.hwnd());
  EXPECT_EQ(w2.hwnd(), nullptr);
}

TEST(ControlLayoutTest, PlacesScalesAndRenamesTheControls) {
  TestWindow w;
  UiFont font(8, WindowDpi(w.hwnd()));
  ASSERT_NE(font.get(), nullptr);
  CreateControls(w.hwnd(), kControls, font.get());
  const UINT dpi = WindowDpi(w.hwnd());
  for (const ControlSpec& c : kControls) {
    SCOPED_TRACE(c.id);
    const RECT r = ClientRectOf(w.hwnd(), c.id);
    EXPECT_EQ(r.left, ScaleToDpi(c.x, dpi));
    EXPECT_EQ(r.top, ScaleToDpi(c.y, dpi));
    EXPECT_EQ(r.right, ScaleToDpi(c.x + c.width, dpi));
    EXPECT_EQ(r.bottom, ScaleToDpi(c.y + c.height, dpi));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(w.hwnd(), c.id), WM_GETFONT, 0, 0)),
              font.get());
  }
  EXPECT_EQ(WindowText(GetDlgItem(w.hwnd(), 101)), "first");
  EXPECT_EQ(WindowText(GetDlgItem(w.hwnd(), 102)), "");

  // At 150 % every edge lands on the scaled place: nothing overlaps or is cut.
  PlaceControls(w.hwnd(), kControls, 144);
  const RECT next = ClientRectOf(w.hwnd(), 103);
  EXPECT_EQ(next.left, 873);
  EXPECT_EQ(next.top, 636);
  EXPECT_EQ(next.right, 986);   // 657 * 1.5 = 985.5, rounded
  EXPECT_EQ(next.bottom, 674);  // 449 * 1.5 = 673.5, rounded

  g_label = "second";
  SetControlTexts(w.hwnd(), kControls);
  EXPECT_EQ(WindowText(GetDlgItem(w.hwnd(), 101)), "second");
  EXPECT_EQ(WindowText(GetDlgItem(w.hwnd(), 103)), "second");
  EXPECT_EQ(WindowText(GetDlgItem(w.hwnd(), 102)), "");
  g_label = "first";
}

TEST(ControlLayoutTest, WindowSizeHoldsTheClientArea) {
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const SIZE s96 = WindowSizeForClient(694, 471, style, WS_EX_APPWINDOW, 96);
  EXPECT_GT(s96.cx, 694);
  EXPECT_GT(s96.cy, 471);
  const SIZE s144 = WindowSizeForClient(694, 471, style, WS_EX_APPWINDOW, 144);
  EXPECT_GE(s144.cx, 1041);
  EXPECT_GE(s144.cy, 706);
}

}  // namespace
