// The dialogs a person answers at a live display: message boxes, file dialogs and the folder
// browser, as modal dialogs of the stand-in.
#pragma once

#include "Internal.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace ui {
namespace detail {

// The button the person pressed (IDOK, IDCANCEL, IDYES, ...).
int liveMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

struct LiveBrowse {
  HWND owner = nullptr;
  std::string title;
  bool open = true;                                          // a file to open (it must exist) rather than one to save
  bool folders = false;                                      // a folder rather than a file
  bool several = false;                                      // several files of one folder may be chosen at once
  std::vector<std::pair<std::string, std::string>> filters;  // (description, patterns)
  int filterIndex = 1;                                       // 1-based
  std::string folder;                                        // where it starts
  std::string name;                                          // the name it proposes
  std::function<void(const std::string& folder)> select;     // told of every folder shown
};
// The paths the person chose (one unless `several`); false when they cancelled. `filterIndex` is
// 1-based.
bool liveBrowse(const LiveBrowse& request, std::vector<std::string>& chosen, int& filterIndex);

}  // namespace detail
}  // namespace ui
