// The MFC value classes: CString and the geometry of CRect.
#include "Internal.h"

#include <strings.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

using namespace ui;
using namespace ui::detail;

// --- CString -------------------------------------------------------------------------------------
int CString::Compare(const char* text) const { return std::strcmp(m_str.c_str(), text != nullptr ? text : ""); }

int CString::CompareNoCase(const char* text) const { return strcasecmp(m_str.c_str(), text != nullptr ? text : ""); }

CString CString::Left(int count) const {
  return CString(m_str.substr(0, static_cast<size_t>(std::max(0, std::min(count, GetLength())))));
}

CString CString::Right(int count) const {
  int n = std::max(0, std::min(count, GetLength()));
  return CString(m_str.substr(m_str.size() - static_cast<size_t>(n)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  first = std::max(0, std::min(first, GetLength()));
  count = std::max(0, std::min(count, GetLength() - first));
  return CString(m_str.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::Find(char ch, int start) const {
  if (start < 0 || start >= GetLength()) return -1;
  size_t at = m_str.find(ch, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* text, int start) const {
  if (text == nullptr || start < 0 || start > GetLength()) return -1;
  size_t at = m_str.find(text, static_cast<size_t>(start));
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
  size_t at = m_str.rfind(ch);
  return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Replace(char from, char to) {
  int count = 0;
  for (char& c : m_str) {
    if (c == from) {
      c = to;
      ++count;
    }
  }
  return count;
}

int CString::Replace(const char* from, const char* to) {
  if (from == nullptr || *from == '\0') return 0;
  std::string replacement = to != nullptr ? to : "";
  size_t length = std::strlen(from);
  int count = 0;
  for (size_t at = m_str.find(from); at != std::string::npos; at = m_str.find(from, at + replacement.size())) {
    m_str.replace(at, length, replacement);
    ++count;
  }
  return count;
}

void CString::MakeLower() {
  for (char& c : m_str) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
}

void CString::MakeUpper() {
  for (char& c : m_str) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

void CString::TrimLeft() {
  size_t first = m_str.find_first_not_of(" \t\r\n");
  m_str.erase(0, first == std::string::npos ? m_str.size() : first);
}

void CString::TrimRight() {
  size_t last = m_str.find_last_not_of(" \t\r\n");
  m_str.erase(last == std::string::npos ? 0 : last + 1);
}

void CString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (length < 0) {
    va_end(args);
    m_str.clear();
    return;
  }
  std::string text(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(&text[0], text.size(), format, args);
  va_end(args);
  text.resize(static_cast<size_t>(length));
  m_str.swap(text);
}

BOOL CString::LoadString(UINT id) {
  const std::string* text = findString(id);
  if (text == nullptr) return FALSE;
  m_str = *text;
  return TRUE;
}

LPTSTR CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) m_str.resize(static_cast<size_t>(minLength));
  return &m_str[0];
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) newLength = static_cast<int>(std::strlen(m_str.c_str()));
  m_str.resize(static_cast<size_t>(std::min(newLength, GetLength())));
}

void CRect::NormalizeRect() {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
}

BOOL CRect::IntersectRect(LPCRECT a, LPCRECT b) {
  SetRect(std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
          std::min(a->bottom, b->bottom));
  if (IsRectEmpty()) {
    SetRectEmpty();
    return FALSE;
  }
  return TRUE;
}

BOOL CRect::UnionRect(LPCRECT a, LPCRECT b) {
  CRect ra(*a), rb(*b);
  if (ra.IsRectEmpty()) {
    *this = rb;
  } else if (rb.IsRectEmpty()) {
    *this = ra;
  } else {
    SetRect(std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
            std::max(a->bottom, b->bottom));
  }
  return !IsRectEmpty();
}
