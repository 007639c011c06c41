// Geometry shared by the painter and the display's input: control edges and scroll bars.
#include "Look.h"

#include <algorithm>

namespace ui {
namespace detail {

bool isSplitter(const Window& w) { return w.cwnd != nullptr && dynamic_cast<CSplitterWnd*>(w.cwnd) != nullptr; }

bool isGroupBox(const Window& w) { return w.kind == WindowKind::Button && (w.style & BS_TYPEMASK) == BS_GROUPBOX; }

int edgeOf(const Window& w) {
  if (!w.isChild()) return 0;
  bool listLike = w.kind == WindowKind::Edit || w.kind == WindowKind::ListView || w.kind == WindowKind::TreeView;
  if ((w.exStyle & WS_EX_CLIENTEDGE) || w.kind == WindowKind::ComboBox || (listLike && (w.style & WS_BORDER))) return 2;
  if (listLike) {
    std::shared_ptr<Window> parent = findWindow(w.parent);
    if (parent && isSplitter(*parent)) return 2;
  }
  if ((w.exStyle & WS_EX_STATICEDGE) || (w.style & WS_BORDER)) return 1;
  return 0;
}

ScrollBar makeScrollBar(const RECT& rect, bool vertical, int position, int page, int total) {
  ScrollBar bar;
  bar.shown = true;
  bar.vertical = vertical;
  bar.rect = rect;
  bar.position = position;
  bar.page = std::max(1, page);
  bar.total = total;
  int length = vertical ? rect.bottom - rect.top : rect.right - rect.left;
  int arrow = std::min(kScrollBarSize, length / 2);
  if (vertical) {
    bar.less = RECT{rect.left, rect.top, rect.right, rect.top + arrow};
    bar.more = RECT{rect.left, rect.bottom - arrow, rect.right, rect.bottom};
    bar.track = RECT{rect.left, bar.less.bottom, rect.right, bar.more.top};
  } else {
    bar.less = RECT{rect.left, rect.top, rect.left + arrow, rect.bottom};
    bar.more = RECT{rect.right - arrow, rect.top, rect.right, rect.bottom};
    bar.track = RECT{bar.less.right, rect.top, bar.more.left, rect.bottom};
  }
  int track = vertical ? bar.track.bottom - bar.track.top : bar.track.right - bar.track.left;
  if (total > bar.page && track >= 8) {
    int thumb = std::max(8, static_cast<int>(static_cast<long long>(track) * bar.page / total));
    int offset = static_cast<int>(static_cast<long long>(track - thumb) * std::max(0, position) / (total - bar.page));
    offset = std::min(offset, track - thumb);
    if (vertical) {
      bar.thumb = RECT{rect.left, bar.track.top + offset, rect.right, bar.track.top + offset + thumb};
    } else {
      bar.thumb = RECT{bar.track.left + offset, rect.top, bar.track.left + offset + thumb, rect.bottom};
    }
  }
  return bar;
}

int scrollPositionAt(const ScrollBar& bar, int coordinate) {
  int start = bar.vertical ? bar.track.top : bar.track.left;
  int track = bar.vertical ? bar.track.bottom - bar.track.top : bar.track.right - bar.track.left;
  int thumb = bar.vertical ? bar.thumb.bottom - bar.thumb.top : bar.thumb.right - bar.thumb.left;
  if (track <= thumb || bar.total <= bar.page) return 0;
  long long position = static_cast<long long>(coordinate - start) * (bar.total - bar.page) / (track - thumb);
  return static_cast<int>(std::max<long long>(0, std::min<long long>(position, bar.total - bar.page)));
}

}  // namespace detail
}  // namespace ui
