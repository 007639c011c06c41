// The page "Create Delegators": every selected class, each with a check box that asks for a
// delegator as well (bIsDelegatorIml).
#pragma once

#include "CheckListPage.h"

class CDelegatorsPage : public CCheckListPage {
 public:
  enum { IDD = IDD_DELEGATORS_PAGE };

  explicit CDelegatorsPage(CWnd* parent = nullptr);
};
