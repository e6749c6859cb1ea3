#include "tree_view.h"

#include "control_actions.h"
#include "remote_memory.h"
#include "window_find.h"

namespace {

constexpr int kTextChars = 512;
constexpr size_t kMaxItems = 2000;

HTREEITEM Next(HWND tree, UINT which, HTREEITEM from) {
  return reinterpret_cast<HTREEITEM>(Ask(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(from)));
}

// TVM_GETITEMW with the structure and text buffer in the tree's own process.
bool ReadItem(HWND tree, const RemoteBuffer& remote, HTREEITEM handle, TreeItem& out) {
  TVITEMW item{};
  item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_STATE;
  item.hItem = handle;
  item.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
  item.pszText = reinterpret_cast<LPWSTR>(remote.At(sizeof item));
  item.cchTextMax = kTextChars;
  wchar_t text[kTextChars] = {};
  if (!remote.Write(0, &item, sizeof item) || !remote.Write(sizeof item, text, sizeof text))
    return false;
  if (Ask(tree, TVM_GETITEMW, 0, remote.At(0)) <= 0) return false;
  if (!remote.Read(0, &item, sizeof item) || !remote.Read(sizeof item, text, sizeof text)) return false;
  text[kTextChars - 1] = L'\0';
  out.handle = handle;
  out.text = text;
  out.selected = item.state & TVIS_SELECTED;
  out.expanded = item.state & TVIS_EXPANDED;
  return true;
}

bool Collect(HWND tree, const RemoteBuffer& remote, HTREEITEM first, int depth,
             std::vector<TreeItem>& out) {
  for (HTREEITEM h = first; h && out.size() < kMaxItems; h = Next(tree, TVGN_NEXT, h)) {
    TreeItem item;
    if (!ReadItem(tree, remote, h, item)) return false;
    item.depth = depth;
    out.push_back(item);
    if (item.expanded && !Collect(tree, remote, Next(tree, TVGN_CHILD, h), depth + 1, out))
      return false;
  }
  return true;
}

std::vector<std::wstring> Split(const std::wstring& path) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (size_t bar; (bar = path.find(L'|', start)) != std::wstring::npos; start = bar + 1)
    parts.push_back(path.substr(start, bar - start));
  parts.push_back(path.substr(start));
  return parts;
}

}  // namespace

std::optional<std::vector<TreeItem>> VisibleTreeItems(HWND tree) {
  RemoteBuffer remote(tree, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t));
  if (!remote.Ok()) return std::nullopt;
  std::vector<TreeItem> items;
  if (!Collect(tree, remote, Next(tree, TVGN_ROOT, nullptr), 0, items)) return std::nullopt;
  return items;
}

bool SelectTreePath(HWND tree, const std::wstring& path) {
  RemoteBuffer remote(tree, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t));
  if (!remote.Ok()) return false;
  const std::vector<std::wstring> parts = Split(path);
  HTREEITEM level = Next(tree, TVGN_ROOT, nullptr);
  HTREEITEM found = nullptr;
  for (size_t i = 0; i < parts.size(); ++i) {
    found = nullptr;
    for (HTREEITEM h = level; h && !found; h = Next(tree, TVGN_NEXT, h)) {
      TreeItem item;
      if (ReadItem(tree, remote, h, item) && item.text == parts[i]) found = h;
    }
    if (!found) return false;
    // As a user: select the item (TVN_SELCHANGED), then open it with the Right key
    // (TVN_ITEMEXPANDING, which TVM_EXPAND would not send).
    Deliver(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(found));
    if (i + 1 < parts.size()) {
      TreeItem item;
      if (ReadItem(tree, remote, found, item) && !item.expanded)
        Deliver(tree, WM_KEYDOWN, VK_RIGHT, 1);
      level = Next(tree, TVGN_CHILD, found);
    }
  }
  Deliver(tree, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(found));
  return Next(tree, TVGN_CARET, nullptr) == found;
}
