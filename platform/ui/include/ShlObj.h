// The shell's folder browser of the headless user interface.
#pragma once

#include "WinUser.h"

struct ITEMIDLIST;  // a folder of the file system; allocated by the browser, freed with ILFree
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef int (*BFFCALLBACK)(HWND window, UINT message, LPARAM lParam, LPARAM data);
struct BROWSEINFO {
  HWND hwndOwner;
  LPCITEMIDLIST pidlRoot;
  LPSTR pszDisplayName;  // MAX_PATH characters: receives the chosen folder's name
  LPCSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
};
typedef BROWSEINFO* LPBROWSEINFO;
#define BIF_RETURNONLYFSDIRS 0x0001u
#define BIF_DONTGOBELOWDOMAIN 0x0002u
#define BIF_STATUSTEXT 0x0004u
#define BIF_EDITBOX 0x0010u
#define BIF_VALIDATE 0x0020u
#define BFFM_INITIALIZED 1
#define BFFM_SELCHANGED 2
#define BFFM_VALIDATEFAILED 3
#define BFFM_SETSTATUSTEXT (WM_USER + 100)
#define BFFM_ENABLEOK (WM_USER + 101)
#define BFFM_SETSELECTION (WM_USER + 102)
// Runs the browser through the driver: the callback gets BFFM_INITIALIZED, then
// BFFM_SELCHANGED for every selection (also those it makes with BFFM_SETSELECTION).
// Returns null when cancelled.
LPITEMIDLIST SHBrowseForFolder(LPBROWSEINFO info);
BOOL SHGetPathFromIDList(LPCITEMIDLIST item, LPSTR path);  // MAX_PATH characters
void ILFree(LPITEMIDLIST item);
