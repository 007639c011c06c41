// Compile-time checks of the wizard's declarations: every header stands on its own, and the
// dialog, pages and dialogs have the bases, templates and operations that the dialog, the jobs
// and the settings code rely on.
#include "AddClassesDlg.h"
#include "CheckListPage.h"
#include "ClassList.h"
#include "ClassesPage.h"
#include "DelegatorsPage.h"
#include "FilterDlg.h"
#include "FilterTab.h"
#include "GeneratorDlg.h"
#include "GlobalFilterPage.h"
#include "InterfacesPage.h"
#include "JobListPage.h"
#include "JniClassesPage.h"
#include "JvmDlg.h"
#include "JvmListPage.h"
#include "LocalFilterPage.h"
#include "MemberView.h"
#include "ModulesPage.h"
#include "NativesPage.h"
#include "SplitFramePage.h"
#include "SubstituteNamesPage.h"

#include <type_traits>

namespace {

// The dialog and the three pages that run jobs are jobs, after their dialog base.
static_assert(std::is_base_of<InvokeLaterJob, CGeneratorDlg>::value, "");
static_assert(std::is_base_of<CGeneratorDlgBase, CGeneratorDlg>::value, "");
static_assert(std::is_base_of<InvokeLaterJob, CJvmListPage>::value, "");
static_assert(std::is_base_of<InvokeLaterJob, CModulesPage>::value, "");
static_assert(std::is_base_of<InvokeLaterJob, CJniClassesPage>::value, "");
static_assert(!std::is_base_of<InvokeLaterJob, CClassesPage>::value, "");
static_assert(!std::is_abstract<CGeneratorDlg>::value && !std::is_abstract<CJvmListPage>::value &&
                  !std::is_abstract<CModulesPage>::value && !std::is_abstract<CJniClassesPage>::value,
              "every job has its body");

// The views are the panes the splitters make by their run-time classes.
static_assert(std::is_base_of<CListView, CClassList>::value, "");
static_assert(std::is_base_of<CTreeView, CMemberView>::value, "");
static_assert(std::is_base_of<CTabCtrl, CFilterTab>::value, "");
static_assert(std::is_base_of<CProgressCtrl, CPercentBar>::value, "");

// Templates.
static_assert(CGeneratorDlg::IDD == 129 && CJvmListPage::IDD == 130 && CModulesPage::IDD == 131 &&
                  CClassesPage::IDD == 132 && CSubstituteNamesPage::IDD == 133 && CLocalFilterPage::IDD == 134 &&
                  CNativesPage::IDD == 135 && CInterfacesPage::IDD == 136 && CJvmDlg::IDD == 137 &&
                  CJniClassesPage::IDD == 138 && CAddClassesDlg::IDD == 139 && CGlobalFilterPage::IDD == 151 &&
                  CFilterDlg::IDD == 152 && CDelegatorsPage::IDD == 156,
              "");

// What the dialog hands its pages, and the JVM page's current JVM.
static_assert(std::is_same<decltype(&CJvmListPage::GetCurrentJvmName), JvmDefinition& (CJvmListPage::*)()>::value, "");
static_assert(std::is_same<decltype(&CModulesPage::SetModel),
                           void (CModulesPage::*)(CPercentBar*, ModuleMap*, ClassSettingsMap*)>::value,
              "");
static_assert(
    std::is_same<decltype(&CJniClassesPage::SetModel),
                 void (CJniClassesPage::*)(CPercentBar*, ModuleMap*, ClassSettingsMap*, JvmDefinition*)>::value,
    "");
static_assert(std::is_same<decltype(&CSubstituteNamesPage::SetModel),
                           void (CSubstituteNamesPage::*)(NameSubstitutionMap*, bool*, bool*)>::value,
              "");
static_assert(std::is_same<decltype(CGeneratorDlg::m_substitutions), NameSubstitutionMap>::value, "");

}  // namespace
