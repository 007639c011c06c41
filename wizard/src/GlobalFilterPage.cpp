#include "GlobalFilterPage.h"

#include "PageSupport.h"
#include "ProxyGenerator.h"
#include "UiResources.h"

void registerGlobalFilterPageTemplate() {
  const DWORD groupBox = WS_VISIBLE | BS_GROUPBOX;
  const DWORD firstRadio = WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTORADIOBUTTON;
  const DWORD radio = WS_VISIBLE | BS_AUTORADIOBUTTON;
  const DWORD firstCheck = WS_VISIBLE | WS_GROUP | WS_TABSTOP | BS_AUTOCHECKBOX;
  const DWORD check = WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
  wizardpages::RegisterPageTemplate(
      IDD_GLOBAL_FILTER_PAGE, 359, 212,
      {
          {IDC_STATIC, WC_BUTTON, "Fields", 14, 30, 158, 134, groupBox, 0},
          {IDC_STATIC, WC_BUTTON, "Use", 22, 41, 143, 49, groupBox, 0},
          {IDC_FIELDS_ALL, WC_BUTTON, "All", 28, 55, 23, 10, firstRadio, 0},
          {IDC_FIELDS_EXCEPT_INHERITED, WC_BUTTON, "Except inherited", 28, 70, 67, 10, radio, 0},
          {IDC_STATIC, WC_BUTTON, "Exclude those", 22, 94, 143, 61, groupBox, 0},
          {IDC_FIELDS_DEFAULT, WC_BUTTON, "with default access", 29, 108, 77, 10, firstCheck, 0},
          {IDC_FIELDS_PRIVATE, WC_BUTTON, "private", 29, 122, 37, 10, check, 0},
          {IDC_FIELDS_PROTECTED, WC_BUTTON, "protected", 29, 136, 46, 10, check, 0},
          {IDC_STATIC, WC_BUTTON, "Methods", 185, 30, 158, 134, groupBox, 0},
          {IDC_STATIC, WC_BUTTON, "Use", 193, 41, 143, 49, groupBox, 0},
          {IDC_METHODS_ALL, WC_BUTTON, "All", 199, 55, 23, 10, firstRadio, 0},
          {IDC_METHODS_EXCEPT_INHERITED, WC_BUTTON, "Except inherited", 199, 70, 67, 10, radio, 0},
          {IDC_STATIC, WC_BUTTON, "Exclude those", 193, 94, 143, 61, groupBox, 0},
          {IDC_METHODS_DEFAULT, WC_BUTTON, "with default access", 201, 108, 77, 10, firstCheck, 0},
          {IDC_METHODS_PRIVATE, WC_BUTTON, "private", 201, 122, 37, 10, check, 0},
          {IDC_METHODS_PROTECTED, WC_BUTTON, "protected", 201, 136, 46, 10, check, 0},
      });
}

BEGIN_MESSAGE_MAP(CGlobalFilterPage, CDialog)
  ON_BN_CLICKED(IDC_FIELDS_ALL, OnFieldsAll)
  ON_BN_CLICKED(IDC_FIELDS_EXCEPT_INHERITED, OnFieldsExceptInherited)
  ON_BN_CLICKED(IDC_FIELDS_DEFAULT, OnFieldsDefault)
  ON_BN_CLICKED(IDC_FIELDS_PRIVATE, OnFieldsPrivate)
  ON_BN_CLICKED(IDC_FIELDS_PROTECTED, OnFieldsProtected)
  ON_BN_CLICKED(IDC_METHODS_ALL, OnMethodsAll)
  ON_BN_CLICKED(IDC_METHODS_EXCEPT_INHERITED, OnMethodsExceptInherited)
  ON_BN_CLICKED(IDC_METHODS_DEFAULT, OnMethodsDefault)
  ON_BN_CLICKED(IDC_METHODS_PRIVATE, OnMethodsPrivate)
  ON_BN_CLICKED(IDC_METHODS_PROTECTED, OnMethodsProtected)
  ON_WM_SHOWWINDOW()
  ON_MESSAGE(WM_REFRESH_PAGE, OnRefresh)
END_MESSAGE_MAP()

CGlobalFilterPage::CGlobalFilterPage(CWnd* parent)
    : CDialog(IDD_GLOBAL_FILTER_PAGE, parent),
      m_fieldsUse(0),
      m_methodsUse(0),
      m_fieldsDefault(0),
      m_fieldsPrivate(0),
      m_fieldsProtected(0),
      m_methodsDefault(0),
      m_methodsPrivate(0),
      m_methodsProtected(0),
      m_pGlobalFilter(nullptr),
      m_pParent(nullptr) {}

void CGlobalFilterPage::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, IDC_METHODS_PROTECTED, m_btnMethodsProtected);
  DDX_Control(dx, IDC_FIELDS_PROTECTED, m_btnFieldsProtected);
  DDX_Control(dx, IDC_METHODS_PRIVATE, m_btnMethodsPrivate);
  DDX_Control(dx, IDC_FIELDS_PRIVATE, m_btnFieldsPrivate);
  DDX_Control(dx, IDC_METHODS_DEFAULT, m_btnMethodsDefault);
  DDX_Control(dx, IDC_FIELDS_DEFAULT, m_btnFieldsDefault);
  DDX_Control(dx, IDC_METHODS_ALL, m_btnMethodsAll);
  DDX_Control(dx, IDC_FIELDS_ALL, m_btnFieldsAll);
  DDX_Radio(dx, IDC_FIELDS_ALL, m_fieldsUse);
  DDX_Radio(dx, IDC_METHODS_ALL, m_methodsUse);
  DDX_Check(dx, IDC_FIELDS_DEFAULT, m_fieldsDefault);
  DDX_Check(dx, IDC_FIELDS_PRIVATE, m_fieldsPrivate);
  DDX_Check(dx, IDC_FIELDS_PROTECTED, m_fieldsProtected);
  DDX_Check(dx, IDC_METHODS_DEFAULT, m_methodsDefault);
  DDX_Check(dx, IDC_METHODS_PRIVATE, m_methodsPrivate);
  DDX_Check(dx, IDC_METHODS_PROTECTED, m_methodsProtected);
}

namespace {

// The control values of a filter.
struct FilterControls {
  int fieldsUse, methodsUse;
  int fieldsDefault, fieldsPrivate, fieldsProtected;
  int methodsDefault, methodsPrivate, methodsProtected;
};

FilterControls controlsOf(const GlobalFilter& filter) {
  return FilterControls{filter.fields_bAll ? 0 : 1,     filter.methods_bAll ? 0 : 1,     filter.fields_bExcludeRegular,
                        filter.fields_bExcludePrivate,  filter.fields_bExcludeProtected, filter.methods_bExcludeRegular,
                        filter.methods_bExcludePrivate, filter.methods_bExcludeProtected};
}

}  // namespace

void CGlobalFilterPage::SetFilter(CWnd* parent, GlobalFilter* globalFilter) {
  m_pParent = parent;
  m_pGlobalFilter = globalFilter;
  if (m_pGlobalFilter == nullptr) return;
  FilterControls values = controlsOf(*m_pGlobalFilter);
  m_fieldsUse = values.fieldsUse;
  m_methodsUse = values.methodsUse;
  m_fieldsDefault = values.fieldsDefault;
  m_methodsDefault = values.methodsDefault;
  m_fieldsPrivate = values.fieldsPrivate;
  m_methodsPrivate = values.methodsPrivate;
  m_fieldsProtected = values.fieldsProtected;
  m_methodsProtected = values.methodsProtected;
  if (m_hWnd != nullptr) UpdateData(FALSE);
}

// --- One handler per control: the controls are read, the switch set in the model and handed
// to the generator at once. ---------------------------------------------------------------------
void CGlobalFilterPage::ApplyCheck(int CGlobalFilterPage::*control, bool GlobalFilter::*flag, bool (*setter)(bool)) {
  if (m_pGlobalFilter == nullptr || !UpdateData(TRUE)) return;
  m_pGlobalFilter->*flag = this->*control != 0;
  setter(m_pGlobalFilter->*flag);
}

void CGlobalFilterPage::ApplyUse(int CGlobalFilterPage::*control, bool GlobalFilter::*all,
                                 bool GlobalFilter::*inherited, bool (*setter)(bool)) {
  if (m_pGlobalFilter == nullptr || !UpdateData(TRUE)) return;
  m_pGlobalFilter->*all = this->*control == 0;
  m_pGlobalFilter->*inherited = !(m_pGlobalFilter->*all);
  setter(m_pGlobalFilter->*inherited);
}

void CGlobalFilterPage::OnFieldsAll() {
  ApplyUse(&CGlobalFilterPage::m_fieldsUse, &GlobalFilter::fields_bAll, &GlobalFilter::fields_bExcludeInherited,
           setFieldsExcludeInherited);
}

void CGlobalFilterPage::OnFieldsExceptInherited() { OnFieldsAll(); }

void CGlobalFilterPage::OnFieldsDefault() {
  ApplyCheck(&CGlobalFilterPage::m_fieldsDefault, &GlobalFilter::fields_bExcludeRegular, setFieldsExcludeRegular);
}

void CGlobalFilterPage::OnFieldsPrivate() {
  ApplyCheck(&CGlobalFilterPage::m_fieldsPrivate, &GlobalFilter::fields_bExcludePrivate, setFieldsExcludePrivate);
}

void CGlobalFilterPage::OnFieldsProtected() {
  ApplyCheck(&CGlobalFilterPage::m_fieldsProtected, &GlobalFilter::fields_bExcludeProtected, setFieldsExcludeProtected);
}

void CGlobalFilterPage::OnMethodsAll() {
  ApplyUse(&CGlobalFilterPage::m_methodsUse, &GlobalFilter::methods_bAll, &GlobalFilter::methods_bExcludeInherited,
           setMethodsExcludeInherited);
}

void CGlobalFilterPage::OnMethodsExceptInherited() { OnMethodsAll(); }

void CGlobalFilterPage::OnMethodsDefault() {
  ApplyCheck(&CGlobalFilterPage::m_methodsDefault, &GlobalFilter::methods_bExcludeRegular, setMethodsExcludeRegular);
}

void CGlobalFilterPage::OnMethodsPrivate() {
  ApplyCheck(&CGlobalFilterPage::m_methodsPrivate, &GlobalFilter::methods_bExcludePrivate, setMethodsExcludePrivate);
}

void CGlobalFilterPage::OnMethodsProtected() {
  ApplyCheck(&CGlobalFilterPage::m_methodsProtected, &GlobalFilter::methods_bExcludeProtected,
             setMethodsExcludeProtected);
}

// A filter whose "all" and "except inherited" switches agree cannot be shown by the radio
// buttons: it goes back to the defaults, in the model, the generator and the controls alike.
// Otherwise the controls show the filter as it is.
void CGlobalFilterPage::OnShowWindow(BOOL show, UINT status) {
  CDialog::OnShowWindow(show, status);
  if (m_pGlobalFilter == nullptr || m_hWnd == nullptr || m_btnFieldsAll.m_hWnd == nullptr) return;
  GlobalFilter& filter = *m_pGlobalFilter;
  if (filter.fields_bAll == filter.fields_bExcludeInherited ||
      filter.methods_bAll == filter.methods_bExcludeInherited) {
    filter = GlobalFilter{};
    for (bool (*setter)(bool) :
         {setFieldsExcludeInherited, setFieldsExcludeRegular, setFieldsExcludePrivate, setFieldsExcludeProtected,
          setMethodsExcludeInherited, setMethodsExcludeRegular, setMethodsExcludePrivate, setMethodsExcludeProtected}) {
      setter(false);
    }
  }
  SetFilter(m_pParent, m_pGlobalFilter);
}

LRESULT CGlobalFilterPage::OnRefresh(WPARAM, LPARAM) { return 0; }
