// Resources of the headless user interface: dialog templates, bitmaps and strings, registered
// in code under the ids the program's resource script would give them. CDialog, LoadBitmap,
// CImageList::Create and LoadString find them by id.
#pragma once

#include "WinUser.h"

#include <cstddef>
#include <string>
#include <vector>

namespace ui {

// One control of a dialog template. `style` is the whole window style except WS_CHILD, which
// is always added; WS_VISIBLE is set by default as a resource compiler does.
struct ControlTemplate {
  int id = IDC_STATIC;
  std::string className;  // WC_BUTTON, WC_EDIT, WC_STATIC, WC_COMBOBOX, WC_LISTVIEW, ...
  std::string text;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  DWORD style = WS_VISIBLE;
  DWORD exStyle = 0;
};
struct DialogTemplate {
  std::string caption;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  DWORD style = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  DWORD exStyle = 0;
  std::string fontFace = "MS Sans Serif";
  int fontPointSize = 8;
  std::vector<ControlTemplate> controls;  // in creation (tab) order
};
void registerDialog(UINT id, DialogTemplate dialog);
void registerBitmap(UINT id, int width, int height, int bitsPerPixel = 4);
// A bitmap with pixels: an XPM image (the strings of its C array, as an XPM file holds them).
// False, registering nothing, when the image is malformed.
bool registerBitmapImage(UINT id, const char* const* xpm, size_t lines, int bitsPerPixel = 4);
template <size_t N>
bool registerBitmapImage(UINT id, const char* const (&xpm)[N], int bitsPerPixel = 4) {
  return registerBitmapImage(id, xpm, N, bitsPerPixel);
}
void registerString(UINT id, std::string text);

}  // namespace ui
