#include "NativesPage.h"

#include "PageSupport.h"
#include "ProxyGenerator.h"
#include "UiResources.h"

void registerNativesPageTemplate() {
  wizardpages::RegisterPageTemplate(
      IDD_NATIVES_PAGE, 252, 223,
      {
          {IDC_DESCRIPTION, WC_STATIC, "Set checked the classes which native methods to be implemented in C++ code.", 4,
           3, 244, 21, WS_VISIBLE | SS_LEFT, 0},
          {IDC_NATIVE_LIST, WC_LISTVIEW, "", 0, 30, 249, 182,
           WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_NOLABELWRAP | LVS_NOSORTHEADER, 0},
      });
}

CNativesPage::CNativesPage(CWnd* parent)
    : CCheckListPage(IDD_NATIVES_PAGE,
                     {IDC_NATIVE_LIST, "Class Name",
                      [](const ClassSettings& settings) { return settings.TYPE == 0 && settings.bHasNativeMethods; },
                      &ClassSettings::bIsMethodsIml},
                     parent) {}

void CNativesPage::OnFlagSwitching(const CString& name, ClassSettings& settings) {
  ProxyGenerator generator(name.str());
  generator.m_bUseGlobalFilter = false;
  generator.loadMembers();
  for (const MethodDescriptor& method : generator.m_nativeMethods)
    settings.members.erase(wizardpages::memberKey(method));
}
