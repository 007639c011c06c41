// The "Times New Roman" font in which the wizard draws its titles, captions and descriptions.
//
// Every page paints its caption and description statics in this font of height -12 (the
// dialog's page title uses -25): the LOGFONT of the page's own font with that height, width 0,
// weight 400, no italic, no strike-out, output precision 3, clip precision 2, quality 2, pitch
// and family 20 and face "Times New Roman". A page keeps the font object as long as its
// statics use it, so it holds a CCaptionFont and applies it in its WM_PAINT handler:
//
//   m_captionFont.Apply(*this, {&m_staticDescription, &m_staticCaption});
#pragma once

#include "Mfc.h"

#include <initializer_list>
#include <memory>

// The caption LOGFONT made from the font of `window` (the system font when it has none).
LOGFONT MakeCaptionLogFont(const CWnd& window, LONG height);

class CCaptionFont {
 public:
  CCaptionFont() = default;
  CCaptionFont(const CCaptionFont&) = delete;
  CCaptionFont& operator=(const CCaptionFont&) = delete;

  // Sets the caption font of `height` made from the font of `window` on every control that
  // does not use it yet (with redraw; null controls and controls without a window are passed
  // over). The font object is made once and again only when the LOGFONT changes; the one it
  // replaces is deleted after the controls have let go of it. Returns the font, or null when it
  // cannot be made.
  CFont* Apply(const CWnd& window, std::initializer_list<CWnd*> controls, LONG height = -12);

  // The font made last, or null.
  CFont* GetFont() const { return m_font.get(); }

 private:
  std::unique_ptr<CFont> m_font;
  LOGFONT m_logFont{};
};
