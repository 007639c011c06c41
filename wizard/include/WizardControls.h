// The wizard's controls as the worker and the jobs reach them, from any thread.
//
// There is one generator dialog at a time, published in theGeneratorDlg. A job must not run
// while the user can start another or switch pages, so the worker disables the dialog's
// Generate and StoreSettings buttons, its page tree and the page shown before every job (the
// dialog is the worker's JobWindow), and each job body enables them again at its end
// (EnableWizardControls). The Close button is left alone.
#pragma once

#include "InvokeLater.h"
#include "Mfc.h"

// The part of the generator dialog that the wizard's threads share: the page shown and the
// switch of the controls. It is the worker's job window. CGeneratorDlg derives from it; a test
// dialog may too.
class CGeneratorDlgBase : public CDialog, public JobWindow {
 public:
  // Publishes the new dialog in theGeneratorDlg (and, as a JobWindow, in theJobWindow).
  CGeneratorDlgBase(UINT templateId, CWnd* parent);
  // Withdraws the dialog from theGeneratorDlg (and theJobWindow) when it is the one published
  // there.
  ~CGeneratorDlgBase() override;

  // The dialog.
  CWnd& GetJobWnd() override { return *this; }
  // Disables (false) or enables (true), in this order, the Generate button (IDOK), the
  // StoreSettings button (1036), the page tree (1000) and m_pCurrentPage, on the dialog's own
  // thread; the caller waits until that is done. Controls missing from the template are
  // passed over; nothing happens while the dialog has no window.
  void SetJobControlsEnabled(bool enable) override;

  // The page now shown; null until a page is first selected. Changed on the dialog's thread
  // only.
  CWnd* m_pCurrentPage;

 protected:
  afx_msg LRESULT OnSetWizardControls(WPARAM enable, LPARAM);
  DECLARE_MESSAGE_MAP()
};

// The one generator dialog, or null while there is none.
extern CGeneratorDlgBase* theGeneratorDlg;

// Disable and enable the wizard's controls of theGeneratorDlg; nothing without a dialog.
void DisableWizardControls();
void EnableWizardControls();

// The folder browser's callback of the JVM dialog's folder pickers: on BFFM_INITIALIZED it
// selects the process's current directory; on BFFM_SELCHANGED it shows the new folder's path
// as the browser's status text. Always 0.
int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM lParam, LPARAM data);
