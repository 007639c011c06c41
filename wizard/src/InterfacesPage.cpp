#include "InterfacesPage.h"

#include "PageSupport.h"
#include "UiResources.h"

void registerInterfacesPageTemplate() {
  wizardpages::RegisterPageTemplate(
      IDD_INTERFACES_PAGE, 264, 205,
      {
          {IDC_DESCRIPTION, WC_STATIC, "Check interfaces you want to be implemented in your JNI code.", 0, 0, 250, 14,
           WS_VISIBLE | SS_LEFT, 0},
          {IDC_INTERFACE_LIST, WC_LISTVIEW, "", 0, 20, 252, 165,
           WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_NOLABELWRAP | LVS_NOSORTHEADER, 0},
      });
}

CInterfacesPage::CInterfacesPage(CWnd* parent)
    : CCheckListPage(
          IDD_INTERFACES_PAGE,
          {IDC_INTERFACE_LIST, "Interface Name", [](const ClassSettings& settings) { return settings.TYPE != 0; },
           &ClassSettings::bIsInterfaceIml},
          parent) {}
