// The generator dialog: its template, its page tree and page switching, the fonts of its title
// and progress bar, and the hand-over of the project model to the pages.
#include "GeneratorDlg.h"

#include "JvmRegistry.h"
#include "UiResources.h"

#include <cstring>

namespace {

// The progress bar's font: "Times New Roman" of height -15.
LOGFONT barLogFont() {
  LOGFONT font{};
  font.lfHeight = -15;
  font.lfWeight = FW_NORMAL;
  font.lfOutPrecision = OUT_STROKE_PRECIS;
  font.lfClipPrecision = CLIP_STROKE_PRECIS;
  font.lfQuality = PROOF_QUALITY;
  font.lfPitchAndFamily = 20;
  std::strncpy(font.lfFaceName, "Times New Roman", sizeof font.lfFaceName - 1);
  return font;
}

HTREEITEM insertPage(CTreeCtrl& tree, const char* text, CWnd& page, HTREEITEM parent) {
  return tree.InsertItem(TVIF_TEXT | TVIF_PARAM, text, 0, 0, 0, 0, reinterpret_cast<LPARAM>(&page), parent, TVI_LAST);
}

}  // namespace

void registerGeneratorDialogTemplate() {
  ui::DialogTemplate dialog;
  dialog.caption = "KAVRIN Generator";
  dialog.cx = 491;
  dialog.cy = 319;
  dialog.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT;
  dialog.fontFace = "MS Sans Serif";
  dialog.fontPointSize = 8;
  const DWORD tree = WS_VISIBLE | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_DISABLEDRAGDROP |
                     TVS_SHOWSELALWAYS | TVS_NOTOOLTIPS | TVS_FULLROWSELECT;
  dialog.controls = {
      {IDC_PAGE_TREE, WC_TREEVIEW, "", 4, 4, 119, 283, tree, WS_EX_STATICEDGE},
      {IDC_STATIC, WC_STATIC, "", 127, 4, 1, 285, WS_VISIBLE | SS_ETCHEDVERT | SS_SUNKEN, 0},
      {IDC_STATIC, WC_STATIC, "", 128, 29, 359, 1, WS_VISIBLE | SS_ETCHEDHORZ | SS_SUNKEN, 0},
      {IDC_PAGE_TITLE, WC_STATIC, "", 147, 4, 340, 22, WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, 0},
      {IDC_PAGE_FRAME, WC_STATIC, "", 132, 34, 355, 253, WS_VISIBLE | SS_WHITEFRAME, 0},
      {IDC_STATIC, WC_STATIC, "", 4, 289, 483, 1, WS_VISIBLE | SS_ETCHEDHORZ | SS_SUNKEN, 0},
      {IDC_PROGRESS_BAR, PROGRESS_CLASS, "", 4, 301, 324, 14, WS_VISIBLE | PBS_SMOOTH, 0},
      {IDOK, WC_BUTTON, "Generate", 331, 301, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
      {IDC_STORE_SETTINGS, WC_BUTTON, "StoreSettings", 384, 301, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0},
      {IDCANCEL, WC_BUTTON, "Close", 437, 301, 50, 14, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0},
  };
  ui::registerDialog(IDD_GENERATOR_DIALOG, dialog);
}

BEGIN_MESSAGE_MAP(CGeneratorDlg, CGeneratorDlgBase)
  ON_NOTIFY(TVN_SELCHANGED, IDC_PAGE_TREE, OnPageSelChanged)
  ON_WM_PAINT()
  ON_BN_CLICKED(IDOK, OnGenerate)
  ON_BN_CLICKED(IDC_STORE_SETTINGS, OnStoreSettings)
  ON_MESSAGE(WM_CLOSE_AFTER_GENERATION, OnCloseAfterGeneration)
END_MESSAGE_MAP()

CGeneratorDlg::CGeneratorDlg(CWnd* parent)
    : CGeneratorDlgBase(IDD, parent), m_bFieldPrefix(false), m_bMethodPrefix(false) {
  const HRESULT hr = m_pXmlDocument.CreateInstance(CLSID_DOMDocument, nullptr, CLSCTX_ALL);
  if (FAILED(hr) && hr != E_NOINTERFACE) _com_issue_errorex(hr, nullptr, IID_NULL);
}

CGeneratorDlg::~CGeneratorDlg() {
  // The generation run reads the model and the controls: it must be over before they go.
  StopJob();
}

void CGeneratorDlg::SetApplication(IApplication* application) { m_pApplication = application; }

void CGeneratorDlg::DoDataExchange(CDataExchange* dx) {
  CGeneratorDlgBase::DoDataExchange(dx);
  DDX_Control(dx, IDCANCEL, m_btnClose);
  DDX_Control(dx, IDC_STORE_SETTINGS, m_btnStoreSettings);
  DDX_Control(dx, IDOK, m_btnGenerate);
  DDX_Control(dx, IDC_PROGRESS_BAR, m_progressBar);
  DDX_Control(dx, IDC_PAGE_TITLE, m_staticTitle);
  DDX_Control(dx, IDC_PAGE_TREE, m_pageTree);
  DDX_Control(dx, IDC_PAGE_FRAME, m_staticPageFrame);
}

BOOL CGeneratorDlg::OnInitDialog() {
  CGeneratorDlgBase::OnInitDialog();
  LoadProjectSettings();

  CRect frame;
  m_staticPageFrame.GetClientRect(&frame);

  const LOGFONT barFont = barLogFont();
  m_barFont.CreateFontIndirect(&barFont);
  m_progressBar.SetFont(&m_barFont, TRUE);
  m_progressBar.ModifyStyle(0, CPercentBar::kStretchGradient, SWP_FRAMECHANGED);
  m_progressBar.SendMessage(PBM_SETBKCOLOR, 0, static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
  m_progressBar.SendMessage(PBM_SETBARCOLOR, GetSysColor(COLOR_BTNSHADOW),
                            static_cast<LPARAM>(GetSysColor(COLOR_BTNFACE)));
  m_progressBar.m_barTextColor = 0;
  m_progressBar.m_backTextColor = 0;
  m_progressBar.Invalidate(TRUE);

  m_filterDlg.SetFilterData(&m_globalFilter, &m_classSettings);

  struct Page {
    CDialog* page;
    UINT templateId;
  };
  const Page pages[] = {{&m_jvmListPage, IDD_JVM_LIST_PAGE},      {&m_classesPage, IDD_CLASSES_PAGE},
                        {&m_modulesPage, IDD_MODULES_PAGE},       {&m_substituteNamesPage, IDD_SUBSTITUTE_NAMES_PAGE},
                        {&m_filterDlg, IDD_FILTER_DIALOG},        {&m_nativesPage, IDD_NATIVES_PAGE},
                        {&m_interfacesPage, IDD_INTERFACES_PAGE}, {&m_jniClassesPage, IDD_JNI_CLASSES_PAGE},
                        {&m_delegatorsPage, IDD_DELEGATORS_PAGE}};
  for (const Page& p : pages) p.page->Create(p.templateId, &m_staticPageFrame);
  for (const Page& p : pages) p.page->MoveWindow(0, 0, frame.Width(), frame.Height(), TRUE);

  const HTREEITEM jvms = insertPage(m_pageTree, "Installed JVMs", m_jvmListPage, TVI_ROOT);
  insertPage(m_pageTree, "Java modules", m_modulesPage, jvms);
  const HTREEITEM classes = insertPage(m_pageTree, "JNI Classes", m_classesPage, TVI_ROOT);
  insertPage(m_pageTree, "Select Classes", m_jniClassesPage, classes);
  insertPage(m_pageTree, "Substitute Names", m_substituteNamesPage, classes);
  insertPage(m_pageTree, "Class Member Filters", m_filterDlg, classes);
  insertPage(m_pageTree, "Implement Native Methods", m_nativesPage, classes);
  insertPage(m_pageTree, "Implement Interfaces", m_interfacesPage, classes);
  insertPage(m_pageTree, "Create Delegators", m_delegatorsPage, classes);
  m_pageTree.Select(classes, TVGN_CARET);

  MirrorJdkRegistrations(jvmregistry::kIbmRuntimeKey, jvmregistry::kIbmKitKey, jvmregistry::kIbmMirrorKey);
  MirrorJdkRegistrations(jvmregistry::kJavaSoftRuntimeKey, jvmregistry::kJavaSoftKitKey,
                         jvmregistry::kJavaSoftMirrorKey);
  LoadInstalledJvms();

  m_jvmListPage.SetJvmData(&m_progressBar, &m_classSettings, m_installedJvms, m_pXmlDocument);
  m_classesPage.SetClassData(&m_classSettings, &m_globalFilter);
  m_modulesPage.SetModel(&m_progressBar, &m_modules, &m_classSettings);
  m_substituteNamesPage.SetModel(&m_substitutions, &m_bFieldPrefix, &m_bMethodPrefix);
  m_nativesPage.SetClassSettings(&m_classSettings);
  m_interfacesPage.SetClassSettings(&m_classSettings);
  m_delegatorsPage.SetClassSettings(&m_classSettings);
  m_jniClassesPage.SetModel(&m_progressBar, &m_modules, &m_classSettings, &m_jvmListPage.GetCurrentJvmName());

  m_pageTree.Expand(jvms, TVE_EXPAND);
  m_pageTree.Expand(classes, TVE_EXPAND);
  return TRUE;
}

void CGeneratorDlg::OnPageSelChanged(NMHDR* header, LRESULT* result) {
  *result = 0;
  const NMTREEVIEW* change = reinterpret_cast<const NMTREEVIEW*>(header);
  const HTREEITEM item = change->itemNew.hItem;
  if (item == nullptr) return;
  const CString title = m_pageTree.GetItemText(item);
  CWnd* page = reinterpret_cast<CWnd*>(m_pageTree.GetItemData(item));
  if (page == nullptr) return;
  if (m_pCurrentPage != nullptr && m_pCurrentPage != page) m_pCurrentPage->ShowWindow(SW_HIDE);
  m_pCurrentPage = page;
  page->ShowWindow(SW_SHOW);
  m_staticTitle.SetWindowText(title);
  if (IsWindowVisible()) m_titleFont.Apply(*this, {&m_staticTitle}, -25);
}

void CGeneratorDlg::OnPaint() {
  CPaintDC dc(this);
  m_titleFont.Apply(*this, {&m_staticTitle}, -25);
}

void CGeneratorDlg::OnStoreSettings() { SaveProjectSettings(); }

LRESULT CGeneratorDlg::OnCloseAfterGeneration(WPARAM, LPARAM) {
  WaitForJob();
  EndDialog(IDOK);
  return 0;
}

void CGeneratorDlg::OnCancel() {
  // Close is disabled while a generation runs; any other way out waits for it.
  WaitForJob();
  CGeneratorDlgBase::OnCancel();
}
