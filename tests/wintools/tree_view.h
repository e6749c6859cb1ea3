#pragma once
// Tree views of other programs (the folder browser): the items a user sees, and choosing
// one by its path as a user does, expanding each level with the keyboard so that the
// program fills it (a folder browser adds children only when a level opens).
#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

struct TreeItem {
  HTREEITEM handle = nullptr;
  std::wstring text;
  int depth = 0;
  bool selected = false, expanded = false;
};

// The items of every open level, in display order; nullopt when the tree's texts cannot be
// read (a program of the other bitness).
std::optional<std::vector<TreeItem>> VisibleTreeItems(HWND tree);

// Selects the item at `path` (texts from a top-level item down, separated by "|"), opening
// every level on the way. False when a level has no item with that text.
bool SelectTreePath(HWND tree, const std::wstring& path);
