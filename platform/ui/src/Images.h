// Pixel images: resources written as XPM text, the stand-in's own icons, and the pictures of
// image lists.
#pragma once

#include "CommCtrl.h"

#include <string>
#include <vector>

namespace ui {
namespace detail {

// Pixels by rows; CLR_INVALID where the image is transparent.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;
  COLORREF at(int x, int y) const {
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
  }
};

// Reads an XPM image (the strings of its C array, in order): a header "width height colours
// characters-per-pixel", the colours ("#RRGGBB" or "None"), then the rows. False with a reason
// on anything malformed.
bool parseXpm(const char* const* xpm, size_t count, Image& out, std::string& error);

// The stand-in's icons: the standard icons of LoadIcon (IDI_APPLICATION, IDI_HAND, IDI_QUESTION,
// IDI_EXCLAMATION, IDI_ASTERISK) and the small folder and file images of its file dialogs.
enum class StockImage { Application, Error, Question, Warning, Information, Folder, File };
const Image& stockImage(StockImage which);
// The stock icon of an icon handle of LoadIcon; false for any other handle.
bool iconImage(HICON icon, StockImage& which);

// One image of an image list (CLR_INVALID where its mask leaves it transparent); false when the
// list or the image does not exist or carries no pixels.
bool imageListImage(HIMAGELIST list, int index, Image& out);
// True for the check-box list that lists and trees make for themselves (images 1 unchecked and
// 2 checked, drawn as the classic check box).
bool isCheckBoxList(HIMAGELIST list);

}  // namespace detail
}  // namespace ui
