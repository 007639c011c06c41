// Shared set-up of the user-interface tests: a host dialog whose controls the tests drive, and
// a fixture that leaves no window, script or record behind.
#pragma once

#include "Mfc.h"
#include "UiDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace uitest {

// Template of a visible top-level host with one control of each kind.
enum : UINT {
  kHostTemplate = 900,
  kList = 1001,
  kTree = 1002,
  kPush = 1003,
  kCheck = 1004,
  kRadioA = 1005,
  kRadioB = 1006,
  kEdit = 1007,
  kCombo = 1008,
  kProgress = 1009,
  kTab = 1010,
  kStatic = 1011,
  kOtherRadio = 1012,
};

// The style a dialog template has unless told otherwise.
const DWORD kModalDialog = ui::DialogTemplate{}.style;

// Registers under `id` a dialog of that caption, size (dialog units), style and controls.
inline void registerTemplate(UINT id, const std::string& caption, int cx, int cy, DWORD style,
                             std::vector<ui::ControlTemplate> controls) {
  ui::DialogTemplate t;
  t.caption = caption;
  t.cx = cx;
  t.cy = cy;
  t.style = style;
  t.controls = std::move(controls);
  ui::registerDialog(id, t);
}

inline void registerHost() {
  registerTemplate(kHostTemplate, "Host", 400, 300, WS_POPUP | WS_CAPTION | WS_VISIBLE,
                   {
                       {kList, WC_LISTVIEW, "", 4, 4, 150, 100,
                        WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0},
                       {kTree, WC_TREEVIEW, "", 160, 4, 120, 100, WS_VISIBLE | TVS_HASBUTTONS | TVS_LINESATROOT, 0},
                       {kPush, WC_BUTTON, "Push", 290, 4, 50, 14, WS_VISIBLE | BS_PUSHBUTTON, 0},
                       {kCheck, WC_BUTTON, "Check", 290, 20, 50, 10, WS_VISIBLE | BS_AUTOCHECKBOX, 0},
                       {kRadioA, WC_BUTTON, "A", 290, 34, 50, 10, WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, 0},
                       {kRadioB, WC_BUTTON, "B", 290, 46, 50, 10, WS_VISIBLE | BS_AUTORADIOBUTTON, 0},
                       {kOtherRadio, WC_BUTTON, "C", 290, 58, 50, 10, WS_VISIBLE | WS_GROUP | BS_AUTORADIOBUTTON, 0},
                       {kEdit, WC_EDIT, "", 4, 110, 100, 14, WS_VISIBLE | ES_AUTOHSCROLL, 0},
                       {kCombo, WC_COMBOBOX, "", 110, 110, 100, 80, WS_VISIBLE | CBS_DROPDOWNLIST | CBS_SORT, 0},
                       {kProgress, PROGRESS_CLASS, "", 4, 130, 200, 14, WS_VISIBLE | PBS_SMOOTH, 0},
                       {kTab, WC_TABCONTROL, "", 4, 150, 200, 100, WS_VISIBLE, 0},
                       {kStatic, WC_STATIC, "Caption", 210, 130, 100, 10, WS_VISIBLE, 0},
                   });
}

// The notification codes the log holds for `to`, in order.
inline std::vector<UINT> codes(HWND to) {
  std::vector<UINT> result;
  for (const ui::LoggedMessage& m : ui::notificationLog(to)) result.push_back(m.code);
  return result;
}

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::resetDriver();
    registerHost();
  }
  void TearDown() override {
    for (HWND w : ui::topLevelWindows()) DestroyWindow(w);
    ui::pumpMessages();
    EXPECT_EQ(ui::pendingScripts(), 0u) << "a scripted answer was never used";
    ui::resetDriver();
  }
};

}  // namespace uitest
