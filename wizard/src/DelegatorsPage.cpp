#include "DelegatorsPage.h"

#include "PageSupport.h"
#include "UiResources.h"

void registerDelegatorsPageTemplate() {
  wizardpages::RegisterPageTemplate(
      IDD_DELEGATORS_PAGE, 264, 205,
      {
          {IDC_DESCRIPTION, WC_STATIC, "Select classes/interfaces, which have JNI delegators.", 4, 3, 258, 21,
           WS_VISIBLE | SS_LEFT, 0},
          {IDC_DELEGATOR_LIST, WC_LISTVIEW, "", 0, 30, 263, 165,
           WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOLABELWRAP | LVS_NOSORTHEADER, 0},
      });
}

CDelegatorsPage::CDelegatorsPage(CWnd* parent)
    : CCheckListPage(IDD_DELEGATORS_PAGE,
                     {IDC_DELEGATOR_LIST, "Class/Inteface Name", [](const ClassSettings&) { return true; },
                      &ClassSettings::bIsDelegatorIml},
                     parent) {}
