// Kernel services of the Win32 platform, stood in for on POSIX.
//
// Only what the system uses is declared here, under the names the system's code calls.
// Paths use '/', the narrow code page is UTF-8, handles are pointer-sized.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef char CHAR;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef BYTE* LPBYTE;
typedef DWORD* LPDWORD;
typedef void* LPVOID;
typedef void* HANDLE;
typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HMODULE;
typedef HMODULE HINSTANCE;
typedef void (*FARPROC)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#ifndef MAX_PATH
#define MAX_PATH 260
#endif

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(0xFFFFFFFFu))

// File attributes
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

// Error codes shared by the kernel and the registry stand-ins
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_NO_MORE_FILES 18L
#define ERROR_BADDB 1009L
#define ERROR_KEY_HAS_CHILDREN 1020L
#define ERROR_ENVVAR_NOT_FOUND 203L
#define ERROR_DISK_FULL 112L
#define ERROR_KEY_DELETED 1018L
#define ERROR_INVALID_WINDOW_HANDLE 1400L

DWORD GetLastError();
void SetLastError(DWORD code);

// --- Environment ---------------------------------------------------------------
// Returns the length of the value without its terminator when it fits into `size`
// bytes, the size needed (terminator included) when it does not, 0 when not set.
DWORD GetEnvironmentVariable(LPCSTR name, LPSTR buffer, DWORD size);
// A null value removes the variable.
BOOL SetEnvironmentVariable(LPCSTR name, LPCSTR value);
// Expands every %NAME% of a set variable; unknown ones stay as written. Returns the
// size needed including the terminator.
DWORD ExpandEnvironmentStrings(LPCSTR source, LPSTR dest, DWORD size);

// --- Files ---------------------------------------------------------------------
DWORD GetFileAttributes(LPCSTR path);
BOOL SetFileAttributes(LPCSTR path, DWORD attributes);
BOOL DeleteFile(LPCSTR path);

struct WIN32_FIND_DATA {
  DWORD dwFileAttributes;
  uint64_t nFileSize;
  char cFileName[MAX_PATH];
};
// `pattern` is a folder and a file pattern ("dir/*.jar", "dir/*", "dir/name.class").
// A "*.suffix" pattern matches the suffix without regard to case; dangling links are skipped.
// Entries come sorted by name, case ignored; "." and ".." are never reported. A name
// without '*' or '?' is looked up exactly as written.
HANDLE FindFirstFile(LPCSTR pattern, WIN32_FIND_DATA* data);
BOOL FindNextFile(HANDLE find, WIN32_FIND_DATA* data);
BOOL FindClose(HANDLE find);

// --- Modules -------------------------------------------------------------------
// A name without '/' that is not found as given is also tried in its Linux spelling
// ("jvm.dll" and "jvm" as "libjvm.so"). Failures leave their text in win32::lastLoadError().
HMODULE LoadLibrary(LPCSTR path);
// Only modules already loaded into the process (no loading).
HMODULE GetModuleHandle(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// Full path of a loaded module (the program itself for a null module). Returns the length
// copied without the terminator; `size` when the path had to be cut (ERROR_INSUFFICIENT_BUFFER).
DWORD GetModuleFileName(HMODULE module, LPSTR buffer, DWORD size);

// --- Synchronisation -----------------------------------------------------------
struct CRITICAL_SECTION {
  void* impl;
};
void InitializeCriticalSection(CRITICAL_SECTION* cs);
void EnterCriticalSection(CRITICAL_SECTION* cs);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* cs);
void LeaveCriticalSection(CRITICAL_SECTION* cs);
void DeleteCriticalSection(CRITICAL_SECTION* cs);

LONG InterlockedIncrement(volatile LONG* value);
LONG InterlockedDecrement(volatile LONG* value);
LONG InterlockedExchange(volatile LONG* target, LONG value);
LONG InterlockedCompareExchange(volatile LONG* target, LONG exchange, LONG comparand);

// --- Thread-local slots --------------------------------------------------------
#define TLS_OUT_OF_INDEXES (static_cast<DWORD>(0xFFFFFFFFu))
DWORD TlsAlloc();
LPVOID TlsGetValue(DWORD index);
BOOL TlsSetValue(DWORD index, LPVOID value);
BOOL TlsFree(DWORD index);

DWORD GetCurrentThreadId();
void Sleep(DWORD milliseconds);

// --- Message boxes and broadcasts ----------------------------------------------
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_YESNO 0x00000004u
#define MB_ICONERROR 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONWARNING 0x00000030u
#define MB_ICONINFORMATION 0x00000040u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
#define IDOK 1
#define IDCANCEL 2
#define IDYES 6
#define IDNO 7

#define HWND_BROADCAST (reinterpret_cast<HWND>(static_cast<intptr_t>(0xffff)))
#define WM_SETTINGCHANGE 0x001A
#define SMTO_ABORTIFHUNG 0x0002

// Never blocks: the box is recorded in the message-box journal and answered with the
// scripted answer. Without one (win32::setMessageBoxAnswer) it takes its default button, as
// Enter would (win32::defaultMessageBoxButton), and is printed to standard error with its
// caption, its text and that answer.
int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
LRESULT SendMessageTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                           DWORD* result);

namespace win32 {

// One recorded message box or broadcast.
struct JournalEntry {
  std::string kind;     // "MessageBox" or "Broadcast"
  std::string caption;  // box caption; for a broadcast the message number in decimal
  std::string text;     // box text; for a broadcast the lParam text ("Environment")
  UINT type = 0;
};

// The journal of this process. When the environment variable KAVRIN_JOURNAL names a file,
// every entry is also appended to it as one line: kind<TAB>caption<TAB>text.
std::vector<JournalEntry> journal();
void clearJournal();
// Answer given by the next message boxes (their default button when unset; 0 unsets it).
void setMessageBoxAnswer(int answer);
// The default button of a box of `type`: its first button (IDOK, IDYES...), or its second or
// third with MB_DEFBUTTON2 or MB_DEFBUTTON3.
int defaultMessageBoxButton(UINT type);
// Records a message box that someone else answered (a script of the user interface's driver):
// the journal only, nothing printed.
void journalMessageBox(LPCSTR text, LPCSTR caption, UINT type);
// A person who answers the boxes that no set answer does (a live display): null forgets it.
using MessageBoxPresenter = int (*)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
void setMessageBoxPresenter(MessageBoxPresenter presenter);

// std::string conveniences over the calls above.
bool getEnv(const std::string& name, std::string& value);
std::string expandEnvironment(const std::string& text);
bool fileExists(const std::string& path);
bool isDirectory(const std::string& path);
// Names (not paths) of the entries of `folder` whose names end with `suffix`, case ignored,
// sorted; dangling links skipped. An empty suffix lists every entry except "." and "..".
std::vector<std::string> listFolder(const std::string& folder, const std::string& suffix);
// `text` without the characters of `blanks` at either end.
std::string trim(const std::string& text, const char* blanks);
// Appends the blank-separated (space, tab) words of `text` to `words`; double quotes group
// blanks into a word and are taken off. False when a double quote is left open; the words up
// to there, the open one last, are appended all the same.
bool splitQuotedWords(const std::string& text, std::vector<std::string>& words);
// Text of the last LoadLibrary/GetProcAddress failure.
std::string lastLoadError();
// Registers a function run on each thread's exit with the slot's last non-null value
// (a thread-local slot with a destructor).
DWORD tlsAllocWithDestructor(void (*destructor)(void*));
// The Win32 error code that stands for a POSIX errno value.
DWORD errorFromErrno(int err);

// --- Whole-file saves ------------------------------------------------------------
// Where the temporary file of a save goes, beside the file "dir/name": "dir/name.XXXXXX"
// (Beside) or "dir/.name.XXXXXX" (Hidden), with six random characters.
enum class TempName { Beside, Hidden };
// Replaces the file at `path` with `content` so that it always holds either its former
// content or the new one: the content is written to a temporary file in the same folder,
// flushed, and renamed over the file (a link is followed and its target replaced). The file
// keeps its permissions (0644 for a new one). Temporaries of the same name pattern that
// earlier saves left behind when their process was killed are removed first; a save at work
// in another process keeps its own. Returns 0, or the errno value of the failure, in which
// case the temporary is removed and the file left as it was.
int replaceFile(const std::string& path, TempName naming, const std::string& content);
// Tests: saves of a file whose path ends with `fileName` fail with `error` (not 0, e.g.
// ENOSPC) once `afterBytes` bytes of it were written, or the process is killed (SIGKILL)
// at that point. Both stay in force until cleared.
void injectWriteFailure(const std::string& fileName, int error, size_t afterBytes = 0);
void injectKillDuringWrite(const std::string& fileName, size_t afterBytes);
void clearWriteFailures();

}  // namespace win32
