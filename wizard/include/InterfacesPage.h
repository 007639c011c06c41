// The page "Implement Interfaces": the selected interfaces, each with a check box that asks
// for a C++ implementation of the interface instead of a proxy (bIsInterfaceIml).
#pragma once

#include "CheckListPage.h"

class CInterfacesPage : public CCheckListPage {
 public:
  enum { IDD = IDD_INTERFACES_PAGE };

  explicit CInterfacesPage(CWnd* parent = nullptr);
};
