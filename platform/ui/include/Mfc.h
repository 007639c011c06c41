// The MFC classes the system builds on, over the headless user interface of WinUser.h.
//
// Windows and controls are wrapper objects around window handles, as in MFC: a CWnd object
// is attached to its window when it creates it, when a dialog binds it (DDX_Control) or by
// SubclassWindow; messages of an attached window go to its virtual WindowProc.
//
// Message maps are tables, written as in MFC with handler names given bare:
//
//   class CMyPage : public CDialog {
//     ...
//     afx_msg void OnAdd();
//     afx_msg void OnItemChanged(NMHDR* header, LRESULT* result);
//     afx_msg LRESULT OnRefresh(WPARAM wParam, LPARAM lParam);
//     DECLARE_MESSAGE_MAP()
//   };
//   BEGIN_MESSAGE_MAP(CMyPage, CDialog)
//     ON_WM_SIZE()
//     ON_BN_CLICKED(1004, OnAdd)
//     ON_NOTIFY(LVN_ITEMCHANGED, 1007, OnItemChanged)
//     ON_MESSAGE(WM_USER + 4, OnRefresh)
//   END_MESSAGE_MAP()
//
// A message is looked up in the class's map, then in its base classes' maps; WM_COMMAND and
// WM_NOTIFY by control id and notification code. A WM_NOTIFY goes first to the control's own
// ON_NOTIFY_REFLECT entry, if any, and then no further. Unhandled messages go to
// DefWindowProc, the window class's own behaviour. The ON_WM_xxx entries call the handlers of
// the same names (OnCreate, OnSize, ...); CWnd's versions pass the message on (Default()).
//
// Frame windows and views delete themselves when their window is destroyed (PostNcDestroy).
#pragma once

#include "CommCtrl.h"
#include "CommDlg.h"
#include "ShlObj.h"
#include "WinGdi.h"
#include "WinUser.h"

#include <cassert>
#include <functional>
#include <string>
#include <vector>

#define afx_msg
#define ASSERT(f) assert(f)
#define VERIFY(f) ((void)(f))
#define ASSERT_VALID(p) ((void)0)

class CObject;
class CWnd;
class CDC;
class CFont;
class CImageList;
class CDataExchange;
class CCreateContext;

// --- Run-time classes --------------------------------------------------------------------
struct CRuntimeClass {
  const char* m_lpszClassName;
  int m_nObjectSize;
  CObject* (*m_pfnCreateObject)();
  const CRuntimeClass* m_pBaseClass;

  CObject* CreateObject() const;  // null for classes without dynamic creation
  BOOL IsDerivedFrom(const CRuntimeClass* base) const;
};

#define RUNTIME_CLASS(class_name) (const_cast<CRuntimeClass*>(&class_name::class##class_name))
#define DECLARE_DYNAMIC(class_name)             \
 public:                                        \
  static const CRuntimeClass class##class_name; \
  CRuntimeClass* GetRuntimeClass() const override;
#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* CreateObject();
#define IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, creator)                             \
  const CRuntimeClass class_name::class##class_name = {#class_name, sizeof(class_name), creator,  \
                                                       &base_class_name::class##base_class_name}; \
  CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }
#define IMPLEMENT_DYNAMIC(class_name, base_class_name) IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, nullptr)
#define IMPLEMENT_DYNCREATE(class_name, base_class_name)         \
  CObject* class_name::CreateObject() { return new class_name; } \
  IMPLEMENT_RUNTIMECLASS_(class_name, base_class_name, &class_name::CreateObject)

class CObject {
 public:
  static const CRuntimeClass classCObject;
  virtual CRuntimeClass* GetRuntimeClass() const;
  virtual ~CObject() = default;
  BOOL IsKindOf(const CRuntimeClass* runtimeClass) const;

 protected:
  CObject() = default;
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
};

// --- Strings and geometry ----------------------------------------------------------------
// A narrow (UTF-8) string with MFC's interface.
class CString {
 public:
  CString() = default;
  CString(const char* text) : m_str(text != nullptr ? text : "") {}
  CString(const char* text, int length)
      : m_str(text != nullptr ? std::string(text, static_cast<size_t>(length)) : "") {}
  CString(const std::string& text) : m_str(text) {}
  CString(char ch, int repeat = 1) : m_str(static_cast<size_t>(repeat > 0 ? repeat : 0), ch) {}

  operator LPCTSTR() const { return m_str.c_str(); }
  const std::string& str() const { return m_str; }
  int GetLength() const { return static_cast<int>(m_str.size()); }
  BOOL IsEmpty() const { return m_str.empty(); }
  void Empty() { m_str.clear(); }
  char GetAt(int index) const { return m_str.at(static_cast<size_t>(index)); }
  char operator[](int index) const { return GetAt(index); }
  void SetAt(int index, char ch) { m_str.at(static_cast<size_t>(index)) = ch; }

  CString& operator=(const char* text) {
    m_str = text != nullptr ? text : "";
    return *this;
  }
  CString& operator=(const std::string& text) {
    m_str = text;
    return *this;
  }
  CString& operator=(char ch) {
    m_str.assign(1, ch);
    return *this;
  }
  CString& operator+=(const CString& text) {
    m_str += text.m_str;
    return *this;
  }
  CString& operator+=(const char* text) {
    if (text != nullptr) m_str += text;
    return *this;
  }
  CString& operator+=(char ch) {
    m_str += ch;
    return *this;
  }
  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_str + b.m_str); }
  friend CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
  }

  int Compare(const char* text) const;
  int CompareNoCase(const char* text) const;
  friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
  friend bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
  friend bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  friend bool operator!=(const char* a, const CString& b) { return !(a == b); }
  friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }
  friend bool operator>(const CString& a, const CString& b) { return a.m_str > b.m_str; }

  CString Left(int count) const;
  CString Right(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  int Find(char ch, int start = 0) const;
  int Find(const char* text, int start = 0) const;
  int ReverseFind(char ch) const;
  int Replace(char from, char to);
  int Replace(const char* from, const char* to);
  void MakeLower();
  void MakeUpper();
  void TrimLeft();
  void TrimRight();
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  BOOL LoadString(UINT id);
  // The buffer holds at least minLength characters and a terminator until ReleaseBuffer,
  // which takes the text up to the terminator (or newLength characters).
  LPTSTR GetBuffer(int minLength);
  void ReleaseBuffer(int newLength = -1);

 private:
  std::string m_str;
};

class CPoint : public POINT {
 public:
  CPoint() {
    x = 0;
    y = 0;
  }
  CPoint(int ix, int iy) {
    x = ix;
    y = iy;
  }
  CPoint(POINT p) {
    x = p.x;
    y = p.y;
  }
  explicit CPoint(DWORD packed) {
    x = static_cast<short>(LOWORD(packed));
    y = static_cast<short>(HIWORD(packed));
  }
  bool operator==(const POINT& p) const { return x == p.x && y == p.y; }
  bool operator!=(const POINT& p) const { return !(*this == p); }
};

class CSize : public SIZE {
 public:
  CSize() {
    cx = 0;
    cy = 0;
  }
  CSize(int w, int h) {
    cx = w;
    cy = h;
  }
  CSize(SIZE s) {
    cx = s.cx;
    cy = s.cy;
  }
  bool operator==(const SIZE& s) const { return cx == s.cx && cy == s.cy; }
};

class CRect : public RECT {
 public:
  CRect() { left = top = right = bottom = 0; }
  CRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  CRect(const RECT& r) {
    left = r.left;
    top = r.top;
    right = r.right;
    bottom = r.bottom;
  }
  CRect(POINT topLeft, SIZE size) {
    left = topLeft.x;
    top = topLeft.y;
    right = left + size.cx;
    bottom = top + size.cy;
  }
  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  BOOL IsRectEmpty() const { return right <= left || bottom <= top; }
  BOOL IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  BOOL PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void SetRect(int l, int t, int r, int b) {
    left = l;
    top = t;
    right = r;
    bottom = b;
  }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void OffsetRect(int dx, int dy) {
    left += dx;
    right += dx;
    top += dy;
    bottom += dy;
  }
  void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
  void InflateRect(int dx, int dy) {
    left -= dx;
    right += dx;
    top -= dy;
    bottom += dy;
  }
  void DeflateRect(int dx, int dy) { InflateRect(-dx, -dy); }
  void DeflateRect(int l, int t, int r, int b) {
    left += l;
    top += t;
    right -= r;
    bottom -= b;
  }
  void DeflateRect(LPCRECT r) { DeflateRect(r->left, r->top, r->right, r->bottom); }
  void NormalizeRect();
  BOOL IntersectRect(LPCRECT a, LPCRECT b);
  BOOL UnionRect(LPCRECT a, LPCRECT b);
  bool operator==(const RECT& r) const {
    return left == r.left && top == r.top && right == r.right && bottom == r.bottom;
  }
  bool operator!=(const RECT& r) const { return !(*this == r); }
};

// --- Message maps ---------------------------------------------------------------------------
namespace ui {
enum class MapEntryKind { Message, Command, Notify, NotifyReflect };
struct MessageMapEntry {
  MapEntryKind kind;
  UINT message;  // Message entries
  UINT code;     // notification code of Command, Notify and NotifyReflect entries
  UINT idFirst;
  UINT idLast;
  // Message: (wParam, lParam) -> result. Command: called with no arguments that matter.
  // Notify and NotifyReflect: lParam is the NMHDR; the result is the notification's result.
  std::function<LRESULT(CWnd* window, WPARAM wParam, LPARAM lParam)> handler;
};
struct MessageMap {
  const MessageMap* (*base)();
  std::vector<MessageMapEntry> entries;
};
namespace detail {
struct WndAccess;
}
}  // namespace ui

#define DECLARE_MESSAGE_MAP()                         \
 protected:                                           \
  static const ::ui::MessageMap* GetThisMessageMap(); \
  const ::ui::MessageMap* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                            \
  const ::ui::MessageMap* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const ::ui::MessageMap* theClass::GetThisMessageMap() {                                 \
    typedef theClass ThisClass;                                                           \
    typedef baseClass TheBaseClass;                                                       \
    static const ::ui::MessageMap messageMap {                                            \
      &TheBaseClass::GetThisMessageMap, {
#define END_MESSAGE_MAP() \
  }                       \
  }                       \
  ;                       \
  return &messageMap;     \
  }

#define UI_MSG_ENTRY_(msg, body)                                                  \
  ::ui::MessageMapEntry{::ui::MapEntryKind::Message,                              \
                        static_cast<UINT>(msg),                                   \
                        0,                                                        \
                        0,                                                        \
                        0,                                                        \
                        [](CWnd* w_, WPARAM wParam_, LPARAM lParam_) -> LRESULT { \
                          (void)wParam_;                                          \
                          (void)lParam_;                                          \
                          ThisClass* self_ = static_cast<ThisClass*>(w_);         \
                          body                                                    \
                        }},
#define ON_WM_CREATE() UI_MSG_ENTRY_(WM_CREATE, return self_->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam_));)
#define ON_WM_DESTROY() UI_MSG_ENTRY_(WM_DESTROY, self_->OnDestroy(); return 0;)
#define ON_WM_CLOSE() UI_MSG_ENTRY_(WM_CLOSE, self_->OnClose(); return 0;)
#define ON_WM_PAINT() UI_MSG_ENTRY_(WM_PAINT, self_->OnPaint(); return 0;)
#define ON_WM_SIZE()                                                                                              \
  UI_MSG_ENTRY_(WM_SIZE, self_->OnSize(static_cast<UINT>(wParam_), GET_X_LPARAM(lParam_), GET_Y_LPARAM(lParam_)); \
                return 0;)
#define ON_WM_SHOWWINDOW() \
  UI_MSG_ENTRY_(WM_SHOWWINDOW, self_->OnShowWindow(static_cast<BOOL>(wParam_), static_cast<UINT>(lParam_)); return 0;)
#define ON_WM_ERASEBKGND()                                                                                             \
  UI_MSG_ENTRY_(WM_ERASEBKGND, return ::ui::detail::callEraseBkgnd(reinterpret_cast<HDC>(wParam_), [self_](CDC* dc_) { \
                  return self_->OnEraseBkgnd(dc_);                                                                     \
                });)
#define ON_MESSAGE(message, memberFxn) UI_MSG_ENTRY_(message, return self_->memberFxn(wParam_, lParam_);)

#define ON_CONTROL_RANGE_(kindName, notifyCode, first, last, body)                \
  ::ui::MessageMapEntry{::ui::MapEntryKind::kindName,                             \
                        0,                                                        \
                        static_cast<UINT>(notifyCode),                            \
                        static_cast<UINT>(first),                                 \
                        static_cast<UINT>(last),                                  \
                        [](CWnd* w_, WPARAM wParam_, LPARAM lParam_) -> LRESULT { \
                          (void)wParam_;                                          \
                          (void)lParam_;                                          \
                          ThisClass* self_ = static_cast<ThisClass*>(w_);         \
                          body                                                    \
                        }},
#define ON_CONTROL(notifyCode, id, memberFxn) \
  ON_CONTROL_RANGE_(Command, notifyCode, id, id, self_->memberFxn(); return 0;)
#define ON_COMMAND(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_BN_CLICKED(id, memberFxn) ON_CONTROL(BN_CLICKED, id, memberFxn)
#define ON_EN_CHANGE(id, memberFxn) ON_CONTROL(EN_CHANGE, id, memberFxn)
#define ON_CBN_SELCHANGE(id, memberFxn) ON_CONTROL(CBN_SELCHANGE, id, memberFxn)
#define ON_CBN_SELENDOK(id, memberFxn) ON_CONTROL(CBN_SELENDOK, id, memberFxn)
#define ON_NOTIFY(notifyCode, id, memberFxn)                    \
  ON_CONTROL_RANGE_(Notify, notifyCode, id, id, LRESULT r_ = 0; \
                    self_->memberFxn(reinterpret_cast<NMHDR*>(lParam_), &r_); return r_;)
#define ON_NOTIFY_REFLECT(notifyCode, memberFxn)                     \
  ON_CONTROL_RANGE_(NotifyReflect, notifyCode, 0, 0, LRESULT r_ = 0; \
                    self_->memberFxn(reinterpret_cast<NMHDR*>(lParam_), &r_); return r_;)

// --- Command targets, threads and the application ----------------------------------------------
// Holds the message map (empty here); windows and threads derive from it.
class CCmdTarget : public CObject {
  DECLARE_DYNAMIC(CCmdTarget)
 public:
  void BeginWaitCursor();
  void EndWaitCursor();

 protected:
  virtual const ui::MessageMap* GetMessageMap() const;
  static const ui::MessageMap* GetThisMessageMap();
};

class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// A thread of the user-interface kind. CreateThread starts it (suspended with
// CREATE_SUSPENDED until ResumeThread); it runs InitInstance, then Run when InitInstance
// returned TRUE, or ExitInstance when it returned FALSE; then it deletes itself when
// m_bAutoDelete is set (closing m_hThread). The thread's exit code is that result; its
// handle is signalled afterwards. Threads have the default stack of 8 MiB.
class CWinThread : public CCmdTarget {
  DECLARE_DYNAMIC(CWinThread)
 public:
  CWinThread();
  ~CWinThread() override;
  BOOL CreateThread(DWORD createFlags = 0, UINT stackSize = 0, LPSECURITY_ATTRIBUTES security = nullptr);
  DWORD ResumeThread();
  BOOL SetThreadPriority(int priority);
  operator HANDLE() const { return m_hThread; }
  virtual BOOL InitInstance();
  virtual int ExitInstance();
  // Pumps the thread's queue until PostQuitMessage, then ExitInstance.
  virtual int Run();
  virtual void Delete();
  virtual CWnd* GetMainWnd() { return m_pMainWnd; }

  CWnd* m_pMainWnd = nullptr;
  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;
  BOOL m_bAutoDelete = TRUE;
};

CWinThread* AfxBeginThread(CRuntimeClass* threadClass, int priority = THREAD_PRIORITY_NORMAL, UINT stackSize = 0,
                           DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr);
CWinThread* AfxGetThread();

// The one application object; its InitInstance and ExitInstance are called by whoever starts
// and ends the module (the library's start-up code).
class CWinApp : public CWinThread {
  DECLARE_DYNAMIC(CWinApp)
 public:
  explicit CWinApp(LPCTSTR appName = nullptr);
  ~CWinApp() override;
  BOOL InitInstance() override;
  int ExitInstance() override;
  HICON LoadStandardIcon(LPCTSTR name) const;

  LPCTSTR m_pszAppName = nullptr;
  HINSTANCE m_hInstance = nullptr;
};
CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
LPCTSTR AfxGetAppName();
// The module's own test for DllCanUnloadNow: S_OK (0) while no window of the user interface
// exists, S_FALSE (1) otherwise.
LONG AfxDllCanUnloadNow();
// Owner: the calling thread's active window, else its main window. Caption: the application
// name. Recorded and answered by the driver (UiDriver.h).
int AfxMessageBox(LPCTSTR text, UINT type = MB_OK, UINT helpId = 0);
// A window class of plain windows with these attributes; the name stays valid for the process.
LPCTSTR AfxRegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr, HBRUSH background = nullptr,
                            HICON icon = nullptr);

// Module state: the shared library's entry points switch to their module's state with
// AFX_MANAGE_STATE(AfxGetStaticModuleState()) and the caller's state comes back on return.
struct AFX_MODULE_STATE {
  const char* name;
};
AFX_MODULE_STATE* AfxGetStaticModuleState();
AFX_MODULE_STATE* AfxGetAppModuleState();
AFX_MODULE_STATE* AfxGetModuleState();  // the calling thread's current state
class AFX_MAINTAIN_STATE2 {
 public:
  explicit AFX_MAINTAIN_STATE2(AFX_MODULE_STATE* state);
  ~AFX_MAINTAIN_STATE2();
  AFX_MAINTAIN_STATE2(const AFX_MAINTAIN_STATE2&) = delete;
  AFX_MAINTAIN_STATE2& operator=(const AFX_MAINTAIN_STATE2&) = delete;

 private:
  AFX_MODULE_STATE* m_previous;
};
#define AFX_MANAGE_STATE(p) AFX_MAINTAIN_STATE2 _ctlState(p);

// --- Drawing objects -------------------------------------------------------------------------
// Objects delete their GDI object when destroyed. Pointers returned for handles the program
// did not wrap itself (SelectObject's previous object, GetFont) are wrappers owned by the
// library, valid while the object lives.
class CGdiObject : public CObject {
 public:
  ~CGdiObject() override;
  HGDIOBJ m_hObject = nullptr;
  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }
  BOOL Attach(HGDIOBJ object);
  HGDIOBJ Detach();
  BOOL DeleteObject();
};

class CFont : public CGdiObject {
 public:
  static CFont* FromHandle(HFONT font);
  operator HFONT() const { return static_cast<HFONT>(m_hObject); }
  BOOL CreateFontIndirect(const LOGFONT* logFont);
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                  BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                  BYTE pitchAndFamily, LPCTSTR faceName);
  int GetLogFont(LOGFONT* logFont) const;
};

class CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  static CBrush* FromHandle(HBRUSH brush);
  operator HBRUSH() const { return static_cast<HBRUSH>(m_hObject); }
  BOOL CreateSolidBrush(COLORREF color);
};

class CBitmap : public CGdiObject {
 public:
  static CBitmap* FromHandle(HBITMAP bitmap);
  operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
  BOOL LoadBitmap(UINT id);
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  int GetBitmap(BITMAP* info) const;
};

class CRgn : public CGdiObject {
 public:
  operator HRGN() const { return static_cast<HRGN>(m_hObject); }
  BOOL CreateRectRgn(int left, int top, int right, int bottom);
  BOOL CreateRectRgnIndirect(LPCRECT rect);
};

class CDC : public CObject {
 public:
  CDC() = default;
  ~CDC() override;  // deletes a DC it made (CreateCompatibleDC) and still holds
  HDC m_hDC = nullptr;
  HDC m_hAttribDC = nullptr;
  BOOL m_bPrinting = FALSE;

  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }
  BOOL Attach(HDC dc);
  HDC Detach();
  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();
  BOOL IsPrinting() const { return m_bPrinting; }

  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  CBrush* SelectObject(CBrush* brush);
  int SelectClipRgn(CRgn* region);
  int IntersectClipRect(int left, int top, int right, int bottom);
  int IntersectClipRect(LPCRECT rect);
  int GetClipBox(LPRECT rect) const;
  CPoint SetWindowOrg(int x, int y);
  CPoint SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
  CPoint GetWindowOrg() const;
  COLORREF SetTextColor(COLORREF color);
  COLORREF GetTextColor() const;
  COLORREF SetBkColor(COLORREF color);
  COLORREF GetBkColor() const;
  int SetBkMode(int mode);
  int GetBkMode() const;
  UINT SetTextAlign(UINT align);
  UINT GetTextAlign() const;
  BOOL TextOut(int x, int y, LPCTSTR text, int length);
  BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text, text.GetLength()); }
  CSize GetTextExtent(LPCTSTR text, int length) const;
  CSize GetTextExtent(const CString& text) const { return GetTextExtent(text, text.GetLength()); }
  BOOL GetTextMetrics(LPTEXTMETRIC metrics) const;
  // As in MFC, leaves the background colour set to `color`.
  void FillSolidRect(LPCRECT rect, COLORREF color);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  void FillRect(LPCRECT rect, CBrush* brush);
  BOOL BitBlt(int x, int y, int width, int height, CDC* source, int sourceX, int sourceY, DWORD rop);
  int GetDeviceCaps(int index) const;
  int SaveDC();
  BOOL RestoreDC(int saved);

 protected:
  BOOL m_bOwnsDC = FALSE;
};

class CPaintDC : public CDC {
 public:
  explicit CPaintDC(CWnd* window);
  ~CPaintDC() override;
  PAINTSTRUCT m_ps;

 protected:
  HWND m_hWnd;
};

class CClientDC : public CDC {
 public:
  explicit CClientDC(CWnd* window);
  ~CClientDC() override;

 protected:
  HWND m_hWnd;
};

class CImageList : public CObject {
 public:
  CImageList() = default;
  ~CImageList() override;
  static CImageList* FromHandle(HIMAGELIST list);
  HIMAGELIST m_hImageList = nullptr;
  operator HIMAGELIST() const { return m_hImageList; }
  HIMAGELIST GetSafeHandle() const { return m_hImageList; }
  // From a bitmap resource: images of cx by the bitmap's height, as many as fit its width.
  BOOL Create(UINT bitmapId, int cx, int grow, COLORREF mask);
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
  int Add(CBitmap* bitmap, COLORREF mask);
  int GetImageCount() const;
  BOOL DeleteImageList();
  HIMAGELIST Detach();
};

// --- Windows -------------------------------------------------------------------------------------
class CWnd : public CCmdTarget {
  DECLARE_DYNAMIC(CWnd)
 public:
  CWnd();
  ~CWnd() override;  // destroys the window if it still has one

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // The object attached to the window, or a wrapper owned by the window (not to be cast to a
  // control class: bind a member with DDX_Control instead).
  static CWnd* FromHandle(HWND window);
  static CWnd* FromHandlePermanent(HWND window);
  BOOL SubclassWindow(HWND window);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();

  BOOL Create(LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
              CCreateContext* context = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, int x, int y, int width, int height,
                HWND parent, HMENU idOrMenu, LPVOID param = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCTSTR className, LPCTSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id, LPVOID param = nullptr);
  virtual BOOL DestroyWindow();

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

  void SetWindowText(LPCTSTR text);
  int GetWindowText(LPTSTR buffer, int size) const;
  void GetWindowText(CString& text) const;
  int GetWindowTextLength() const;
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL ShowWindow(int command);
  BOOL IsWindowVisible() const;
  CWnd* GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  CWnd* GetParent() const;
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL ModifyStyleEx(DWORD remove, DWORD add, UINT flags = 0);
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
  void GetClientRect(LPRECT rect) const;
  void GetWindowRect(LPRECT rect) const;
  void ClientToScreen(LPPOINT point) const;
  void ClientToScreen(LPRECT rect) const;
  void ScreenToClient(LPPOINT point) const;
  void ScreenToClient(LPRECT rect) const;
  void MapDialogRect(LPRECT rect) const;
  void Invalidate(BOOL erase = TRUE);
  void InvalidateRect(LPCRECT rect, BOOL erase = TRUE);
  void ValidateRect(LPCRECT rect);
  void UpdateWindow();
  BOOL RedrawWindow(LPCRECT rect = nullptr, CRgn* region = nullptr,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  void SetFont(CFont* font, BOOL redraw = TRUE);
  CFont* GetFont() const;
  CWnd* SetFocus();
  static CWnd* GetFocus();
  static CWnd* GetActiveWindow();
  int MessageBox(LPCTSTR text, LPCTSTR caption = nullptr, UINT type = MB_OK);
  // Runs DoDataExchange; FALSE when an exchange failed (a control is missing).
  BOOL UpdateData(BOOL saveAndValidate = TRUE);

 protected:
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
  virtual void PreSubclassWindow();
  virtual void PostNcDestroy();
  virtual void DoDataExchange(CDataExchange* dx);
  // The message being handled, passed to DefWindowProc.
  LRESULT Default();

  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnDestroy();
  afx_msg void OnClose();
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnShowWindow(BOOL show, UINT status);

 private:
  friend struct ui::detail::WndAccess;
  BOOL m_bTemporary = FALSE;
};

namespace ui {
namespace detail {
LRESULT callEraseBkgnd(HDC dc, const std::function<BOOL(CDC*)>& handler);
}
}  // namespace ui

// Dialogs are made from the templates registered with ui::registerDialog. The dialog window
// gets WM_CREATE before its controls exist, then WM_INITDIALOG (OnInitDialog, which binds the
// controls through UpdateData(FALSE)). A page is a modeless child dialog (Create).
class CDialog : public CWnd {
  DECLARE_DYNAMIC(CDialog)
 public:
  CDialog();
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  virtual BOOL Create(UINT templateId, CWnd* parent = nullptr);
  // Disables the owner, shows the dialog and pumps the thread's queue until EndDialog; a
  // script of the driver runs inside the loop. -1 when the template is missing.
  virtual INT_PTR DoModal();
  void EndDialog(int result);
  virtual BOOL OnInitDialog();
  UINT GetTemplateId() const { return m_nIDTemplate; }

  UINT m_nIDTemplate = 0;
  CWnd* m_pParentWnd = nullptr;

 protected:
  virtual void OnOK();      // UpdateData(TRUE), then EndDialog(IDOK)
  virtual void OnCancel();  // EndDialog(IDCANCEL)
  afx_msg LRESULT HandleInitDialog(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()
};

class CDataExchange {
 public:
  CDataExchange(CWnd* dialog, BOOL saveAndValidate);
  BOOL m_bSaveAndValidate;
  CWnd* m_pDlgWnd;
  HWND PrepareCtrl(int id);  // fails the exchange when the control is missing
  [[noreturn]] void Fail();
};
void DDX_Control(CDataExchange* dx, int id, CWnd& control);
void DDX_Text(CDataExchange* dx, int id, CString& value);
void DDX_Check(CDataExchange* dx, int id, int& value);
// The index of the checked button in the group of radio buttons that starts at `id` (up to the
// next WS_GROUP); -1 when none is checked.
void DDX_Radio(CDataExchange* dx, int id, int& value);
void DDX_CBIndex(CDataExchange* dx, int id, int& value);

// --- Controls ----------------------------------------------------------------------------------
class CButton : public CWnd {
 public:
  BOOL Create(LPCTSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int GetCheck() const;
  void SetCheck(int check);
  UINT GetState() const;
  void SetState(BOOL highlight);
  UINT GetButtonStyle() const;
  void SetButtonStyle(UINT style, BOOL redraw = TRUE);
};

class CEdit : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetSel(int start, int end, BOOL noScroll = FALSE);
  void GetSel(int& start, int& end) const;
  void ReplaceSel(LPCTSTR text, BOOL canUndo = FALSE);
};

class CStatic : public CWnd {
 public:
  BOOL Create(LPCTSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xffff);
};

class CComboBox : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int AddString(LPCTSTR text);
  int InsertString(int index, LPCTSTR text);
  int DeleteString(UINT index);
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;
  int SetCurSel(int index);
  int GetLBText(int index, LPTSTR buffer) const;
  void GetLBText(int index, CString& text) const;
  int GetLBTextLen(int index) const;
  DWORD_PTR GetItemData(int index) const;
  int SetItemData(int index, DWORD_PTR data);
  int FindString(int startAfter, LPCTSTR prefix) const;
  int FindStringExact(int startAfter, LPCTSTR text) const;
  int SelectString(int startAfter, LPCTSTR prefix);
  BOOL GetDroppedState() const;
};

class CListCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  DWORD SetExtendedStyle(DWORD style);
  DWORD GetExtendedStyle() const;
  CImageList* SetImageList(CImageList* images, int type);
  CImageList* GetImageList(int type) const;
  int InsertColumn(int column, const LVCOLUMN* info);
  int InsertColumn(int column, LPCTSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
  BOOL DeleteColumn(int column);
  int GetColumnWidth(int column) const;
  BOOL SetColumnWidth(int column, int width);
  int InsertItem(const LVITEM* item);
  int InsertItem(int item, LPCTSTR text);
  int InsertItem(int item, LPCTSTR text, int image);
  int InsertItem(UINT mask, int item, LPCTSTR text, UINT state, UINT stateMask, int image, LPARAM lParam);
  BOOL SetItem(const LVITEM* item);
  BOOL SetItem(int item, int subItem, UINT mask, LPCTSTR text, int image, UINT state, UINT stateMask, LPARAM lParam);
  BOOL GetItem(LVITEM* item) const;
  BOOL SetItemText(int item, int subItem, LPCTSTR text);
  CString GetItemText(int item, int subItem) const;
  int GetItemText(int item, int subItem, LPTSTR buffer, int length) const;
  BOOL SetItemState(int item, UINT state, UINT mask);
  UINT GetItemState(int item, UINT mask) const;
  BOOL SetItemData(int item, DWORD_PTR data);
  DWORD_PTR GetItemData(int item) const;
  BOOL SetCheck(int item, BOOL check = TRUE);
  BOOL GetCheck(int item) const;  // 1 checked, 0 not, -1 without a check box
  BOOL DeleteItem(int item);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  UINT GetSelectedCount() const;
  int GetNextItem(int item, int flags) const;
  POSITION GetFirstSelectedItemPosition() const;
  int GetNextSelectedItem(POSITION& position) const;
  int FindItem(LVFINDINFO* info, int start = -1) const;
  int HitTest(LVHITTESTINFO* info) const;
  int HitTest(CPoint point, UINT* flags = nullptr) const;
  BOOL GetItemRect(int item, LPRECT rect, UINT code) const;
  BOOL EnsureVisible(int item, BOOL partialOK);
};

class CTreeCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  CImageList* SetImageList(CImageList* images, int type);
  CImageList* GetImageList(UINT type) const;
  HTREEITEM InsertItem(LPTVINSERTSTRUCT insert);
  HTREEITEM InsertItem(LPCTSTR text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
  HTREEITEM InsertItem(LPCTSTR text, int image, int selectedImage, HTREEITEM parent = TVI_ROOT,
                       HTREEITEM after = TVI_LAST);
  HTREEITEM InsertItem(UINT mask, LPCTSTR text, int image, int selectedImage, UINT state, UINT stateMask, LPARAM lParam,
                       HTREEITEM parent, HTREEITEM after);
  BOOL DeleteItem(HTREEITEM item);
  BOOL DeleteAllItems();
  UINT GetCount() const;
  HTREEITEM GetNextItem(HTREEITEM item, UINT code) const;
  HTREEITEM GetRootItem() const;
  HTREEITEM GetChildItem(HTREEITEM item) const;
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const;
  HTREEITEM GetPrevSiblingItem(HTREEITEM item) const;
  HTREEITEM GetParentItem(HTREEITEM item) const;
  HTREEITEM GetSelectedItem() const;
  HTREEITEM GetFirstVisibleItem() const;
  BOOL ItemHasChildren(HTREEITEM item) const;
  BOOL Select(HTREEITEM item, UINT code);
  BOOL SelectItem(HTREEITEM item);
  BOOL SelectSetFirstVisible(HTREEITEM item);
  BOOL Expand(HTREEITEM item, UINT code);
  BOOL EnsureVisible(HTREEITEM item);
  BOOL GetItem(TVITEM* item) const;
  BOOL SetItem(TVITEM* item);
  CString GetItemText(HTREEITEM item) const;
  BOOL SetItemText(HTREEITEM item, LPCTSTR text);
  DWORD_PTR GetItemData(HTREEITEM item) const;
  BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
  UINT GetItemState(HTREEITEM item, UINT mask) const;
  BOOL SetItemState(HTREEITEM item, UINT state, UINT mask);
  BOOL GetCheck(HTREEITEM item) const;  // 1 checked, 0 not, -1 without a check box
  BOOL SetCheck(HTREEITEM item, BOOL check = TRUE);
  HTREEITEM HitTest(CPoint point, UINT* flags = nullptr) const;
  HTREEITEM HitTest(TVHITTESTINFO* info) const;
  BOOL GetItemRect(HTREEITEM item, LPRECT rect, BOOL textOnly) const;
};

class CProgressCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetRange(short lower, short upper);
  void SetRange32(int lower, int upper);
  void GetRange(int& lower, int& upper) const;
  int SetPos(int position);
  int GetPos() const;
  int OffsetPos(int delta);
  int SetStep(int step);
  int StepIt();
};

class CTabCtrl : public CWnd {
 public:
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int InsertItem(int item, LPCTSTR text);
  int InsertItem(int item, TCITEM* info);
  BOOL DeleteAllItems();
  int GetItemCount() const;
  int GetCurSel() const;
  int SetCurSel(int item);  // no notification, as in Win32
  // Window rectangle to display area (FALSE) or back (TRUE).
  void AdjustRect(BOOL larger, LPRECT rect);
  BOOL GetItemRect(int item, LPRECT rect) const;
};

// --- Frames, views and splitters --------------------------------------------------------------------
#define AFX_IDW_PANE_FIRST 0xE900
#define AFX_WS_DEFAULT_VIEW (WS_CHILD | WS_VISIBLE | WS_BORDER)

class CCreateContext {
 public:
  CRuntimeClass* m_pNewViewClass = nullptr;
};

// A frame sizes its child AFX_IDW_PANE_FIRST (the splitter or view) to its client area.
class CFrameWnd : public CWnd {
  DECLARE_DYNAMIC(CFrameWnd)
 public:
  static const CRect rectDefault;
  BOOL Create(LPCTSTR className, LPCTSTR windowName, DWORD style = WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
              CWnd* parent = nullptr, LPCTSTR menuName = nullptr, DWORD exStyle = 0, CCreateContext* context = nullptr);
  virtual void RecalcLayout(BOOL notify = TRUE);

 protected:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  void PostNcDestroy() override;  // deletes the frame
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()
};

class CView : public CWnd {
  DECLARE_DYNAMIC(CView)
 public:
  virtual void OnDraw(CDC* dc) = 0;

 protected:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  void PostNcDestroy() override;  // deletes the view
  afx_msg void OnPaint();         // OnDraw on a paint DC
  DECLARE_MESSAGE_MAP()
};

// A view that is a control: the window is of the control's class and keeps its behaviour.
class CCtrlView : public CView {
  DECLARE_DYNAMIC(CCtrlView)
 public:
  CCtrlView(LPCTSTR className, DWORD style);
  void OnDraw(CDC* dc) override;

 protected:
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  afx_msg void OnPaint();  // the control's own
  DECLARE_MESSAGE_MAP()
  std::string m_strClass;
  DWORD m_dwDefaultStyle;
};

class CListView : public CCtrlView {
  DECLARE_DYNAMIC(CListView)
 public:
  CListView();
  CListCtrl& GetListCtrl() const;

 private:
  mutable CListCtrl m_list;
};

class CTreeView : public CCtrlView {
  DECLARE_DYNAMIC(CTreeView)
 public:
  CTreeView();
  CTreeCtrl& GetTreeCtrl() const;

 private:
  mutable CTreeCtrl m_tree;
};

// A static splitter: panes laid out by their column widths and row heights, with 7-pixel bars.
class CSplitterWnd : public CWnd {
  DECLARE_DYNAMIC(CSplitterWnd)
 public:
  CSplitterWnd();
  BOOL CreateStatic(CWnd* parent, int rows, int columns, DWORD style = WS_CHILD | WS_VISIBLE,
                    UINT id = AFX_IDW_PANE_FIRST);
  virtual BOOL CreateView(int row, int column, CRuntimeClass* viewClass, SIZE initialSize, CCreateContext* context);
  int GetRowCount() const { return m_nRows; }
  int GetColumnCount() const { return m_nCols; }
  void SetColumnInfo(int column, int ideal, int minimum);
  void GetColumnInfo(int column, int& current, int& minimum) const;
  void SetRowInfo(int row, int ideal, int minimum);
  CWnd* GetPane(int row, int column) const;
  int IdFromRowCol(int row, int column) const;
  virtual void RecalcLayout();

  static const int kSplitterGap = 7;

 protected:
  afx_msg void OnSize(UINT type, int cx, int cy);
  DECLARE_MESSAGE_MAP()

 private:
  int m_nRows = 0, m_nCols = 0;
  std::vector<int> m_colIdeal, m_colMin, m_rowIdeal, m_rowMin;
};

// --- Common dialogs -----------------------------------------------------------------------------
// The filter is MFC's: "Description|patterns|Description|patterns||".
class CFileDialog : public CDialog {
 public:
  explicit CFileDialog(BOOL openFileDialog, LPCTSTR defaultExt = nullptr, LPCTSTR fileName = nullptr,
                       DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCTSTR filter = nullptr,
                       CWnd* parent = nullptr);
  INT_PTR DoModal() override;
  CString GetPathName() const;  // the file chosen (for several files: the first)
  CString GetFileName() const;
  POSITION GetStartPosition() const;
  CString GetNextPathName(POSITION& position) const;

  OPENFILENAME m_ofn;

 protected:
  BOOL m_bOpenFileDialog;
  char m_szFileName[MAX_PATH];
  char m_szFileTitle[64];
  std::string m_strFilter;
  std::string m_strDefExt;
};
