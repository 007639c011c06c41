#include "CaptionFont.h"

#include <cstring>

LOGFONT MakeCaptionLogFont(const CWnd& window, LONG height) {
  LOGFONT font{};
  CFont* own = window.GetSafeHwnd() != nullptr ? window.GetFont() : nullptr;
  if (own == nullptr || own->GetLogFont(&font) == 0) {
    font = LOGFONT{};
    ::GetObject(GetStockObject(SYSTEM_FONT), sizeof font, &font);
  }
  font.lfHeight = height;
  font.lfWidth = 0;
  font.lfWeight = FW_NORMAL;
  font.lfItalic = FALSE;
  font.lfStrikeOut = FALSE;
  font.lfOutPrecision = OUT_STROKE_PRECIS;
  font.lfClipPrecision = CLIP_STROKE_PRECIS;
  font.lfQuality = PROOF_QUALITY;
  font.lfPitchAndFamily = 20;  // a Roman family (0x10) with bit 0x04
  std::memset(font.lfFaceName, 0, sizeof font.lfFaceName);
  std::strncpy(font.lfFaceName, "Times New Roman", sizeof font.lfFaceName - 1);
  return font;
}

CFont* CCaptionFont::Apply(const CWnd& window, std::initializer_list<CWnd*> controls, LONG height) {
  LOGFONT wanted = MakeCaptionLogFont(window, height);
  std::unique_ptr<CFont> replaced;
  if (m_font == nullptr || std::memcmp(&wanted, &m_logFont, sizeof wanted) != 0) {
    auto font = std::make_unique<CFont>();
    if (!font->CreateFontIndirect(&wanted)) return m_font.get();
    replaced = std::move(m_font);
    m_font = std::move(font);
    m_logFont = wanted;
  }
  for (CWnd* control : controls) {
    if (control == nullptr || control->GetSafeHwnd() == nullptr) continue;
    CFont* current = control->GetFont();
    if (current == nullptr || current->GetSafeHandle() != m_font->GetSafeHandle()) control->SetFont(m_font.get(), TRUE);
  }
  return m_font.get();  // `replaced` goes now that no control uses it
}
