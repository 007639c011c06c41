#include "WizardControls.h"

#include "WizardResources.h"

#include <unistd.h>

CGeneratorDlgBase* theGeneratorDlg = nullptr;

BEGIN_MESSAGE_MAP(CGeneratorDlgBase, CDialog)
  ON_MESSAGE(WM_SET_WIZARD_CONTROLS, OnSetWizardControls)
END_MESSAGE_MAP()

CGeneratorDlgBase::CGeneratorDlgBase(UINT templateId, CWnd* parent)
    : CDialog(templateId, parent), m_pCurrentPage(nullptr) {
  theGeneratorDlg = this;
}

CGeneratorDlgBase::~CGeneratorDlgBase() {
  if (theGeneratorDlg == this) theGeneratorDlg = nullptr;
}

void CGeneratorDlgBase::SetJobControlsEnabled(bool enable) {
  HWND dialog = GetSafeHwnd();
  if (dialog == nullptr) return;
  // Runs on the dialog's thread, where m_pCurrentPage is kept; a worker waits for it (and the
  // dialog's thread serves such calls also while it waits for that worker).
  ::SendMessage(dialog, WM_SET_WIZARD_CONTROLS, enable ? 1 : 0, 0);
}

LRESULT CGeneratorDlgBase::OnSetWizardControls(WPARAM enable, LPARAM) {
  BOOL on = enable != 0 ? TRUE : FALSE;
  for (int id : {IDOK, IDC_STORE_SETTINGS, IDC_PAGE_TREE}) {
    HWND control = ::GetDlgItem(m_hWnd, id);
    if (control != nullptr) ::EnableWindow(control, on);
  }
  if (m_pCurrentPage != nullptr && m_pCurrentPage->GetSafeHwnd() != nullptr) m_pCurrentPage->EnableWindow(on);
  return 0;
}

void DisableWizardControls() {
  CGeneratorDlgBase* dialog = theGeneratorDlg;
  if (dialog != nullptr) dialog->SetJobControlsEnabled(false);
}

void EnableWizardControls() {
  CGeneratorDlgBase* dialog = theGeneratorDlg;
  if (dialog != nullptr) dialog->SetJobControlsEnabled(true);
}

int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM lParam, LPARAM) {
  char path[MAX_PATH];
  switch (message) {
    case BFFM_INITIALIZED:
      if (getcwd(path, sizeof path) != nullptr) {
        ::SendMessage(window, BFFM_SETSELECTION, TRUE, reinterpret_cast<LPARAM>(path));
      }
      break;
    case BFFM_SELCHANGED:
      if (SHGetPathFromIDList(reinterpret_cast<LPCITEMIDLIST>(lParam), path)) {
        ::SendMessage(window, BFFM_SETSTATUSTEXT, 0, reinterpret_cast<LPARAM>(path));
      }
      break;
    default:
      break;
  }
  return 0;
}
