// XPM images and the stand-in's own icons (drawn for this project, kept as XPM files beside
// the sources).
#include "Images.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>

namespace {
#include "../images/icon-application.xpm"
#include "../images/icon-error.xpm"
#include "../images/icon-information.xpm"
#include "../images/icon-question.xpm"
#include "../images/icon-warning.xpm"
#include "../images/small-file.xpm"
#include "../images/small-folder.xpm"
}  // namespace

namespace ui {
namespace detail {

bool parseXpm(const char* const* xpm, size_t count, Image& out, std::string& error) {
  if (xpm == nullptr || count == 0 || xpm[0] == nullptr) {
    error = "no XPM header";
    return false;
  }
  int width = 0, height = 0, colours = 0, perPixel = 0;
  if (std::sscanf(xpm[0], "%d %d %d %d", &width, &height, &colours, &perPixel) != 4 || width <= 0 || height <= 0 ||
      colours <= 0 || perPixel <= 0 || perPixel > 4 || width > 4096 || height > 4096) {
    error = "bad XPM header \"" + std::string(xpm[0]) + "\"";
    return false;
  }
  if (count < 1 + static_cast<size_t>(colours) + static_cast<size_t>(height)) {
    error = "XPM has fewer lines than its header says";
    return false;
  }
  std::map<std::string, COLORREF> table;
  for (int i = 0; i < colours; ++i) {
    const char* line = xpm[1 + i];
    if (line == nullptr || std::strlen(line) < static_cast<size_t>(perPixel)) {
      error = "bad XPM colour line " + std::to_string(i + 1);
      return false;
    }
    std::string key(line, static_cast<size_t>(perPixel));
    std::istringstream rest(line + perPixel);
    std::string word, value;
    while (rest >> word) {
      if (word == "c" && rest >> value) break;
      value.clear();
    }
    COLORREF colour = CLR_INVALID;
    unsigned r = 0, g = 0, b = 0;
    if (value == "None" || value == "none") {
      colour = CLR_INVALID;
    } else if (value.size() == 7 && value[0] == '#' && std::sscanf(value.c_str() + 1, "%2x%2x%2x", &r, &g, &b) == 3) {
      colour = RGB(r, g, b);
    } else {
      error = "unsupported XPM colour \"" + value + "\"";
      return false;
    }
    table[key] = colour;
  }
  Image image;
  image.width = width;
  image.height = height;
  image.pixels.reserve(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    const char* row = xpm[1 + colours + y];
    if (row == nullptr || std::strlen(row) < static_cast<size_t>(width * perPixel)) {
      error = "XPM row " + std::to_string(y) + " is too short";
      return false;
    }
    for (int x = 0; x < width; ++x) {
      auto it = table.find(std::string(row + x * perPixel, static_cast<size_t>(perPixel)));
      if (it == table.end()) {
        error = "XPM row " + std::to_string(y) + " uses an undefined colour";
        return false;
      }
      image.pixels.push_back(it->second);
    }
  }
  out = std::move(image);
  return true;
}

namespace {
template <size_t N>
Image load(const char* const (&xpm)[N]) {
  Image image;
  std::string error;
  parseXpm(xpm, N, image, error);  // the stand-in's own images are well formed
  return image;
}
}  // namespace

const Image& stockImage(StockImage which) {
  static const Image* images =
      new Image[7]{load(icon_application), load(icon_error),   load(icon_question), load(icon_warning),
                   load(icon_information), load(small_folder), load(small_file)};
  return images[static_cast<int>(which)];
}

bool iconImage(HICON icon, StockImage& which) {
  uintptr_t value = reinterpret_cast<uintptr_t>(icon);
  if (value < 0x7f000000u || (value - 0x7f000000u) % 16 != 0) return false;
  switch ((value - 0x7f000000u) / 16) {
    case 32512:
      which = StockImage::Application;
      return true;
    case 32513:
      which = StockImage::Error;
      return true;
    case 32514:
      which = StockImage::Question;
      return true;
    case 32515:
      which = StockImage::Warning;
      return true;
    case 32516:
      which = StockImage::Information;
      return true;
    default:
      return false;
  }
}

}  // namespace detail
}  // namespace ui
