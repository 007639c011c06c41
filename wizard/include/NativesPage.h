// The page "Implement Native Methods": the classes that declare native methods, each with a
// check box that asks for C++ skeletons of its native methods (bIsMethodsIml). Switching it
// also includes again the class's native methods that the local filter excluded.
#pragma once

#include "CheckListPage.h"

class CNativesPage : public CCheckListPage {
 public:
  enum { IDD = IDD_NATIVES_PAGE };

  explicit CNativesPage(CWnd* parent = nullptr);

 protected:
  // Whichever way the box goes, the class's native methods are wrapped again: an exclusion made
  // in the local filter would otherwise hide a method the skeletons must implement.
  void OnFlagSwitching(const CString& name, ClassSettings& settings) override;
};
