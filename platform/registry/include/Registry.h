// The Windows registry, stood in for by one text file in the .reg format.
//
// Key paths use '\'. Key and value names are case-insensitive and case-preserving;
// subkeys enumerate in a stable order, sorted without regard to case. The file is named by
// the environment variable KAVRIN_REGISTRY (default: $XDG_CONFIG_HOME/kavrin/registry.reg or
// ~/.config/kavrin/registry.reg). Every change is written back at once, under a lock file,
// so processes sharing the file lose nothing.
//
// The variable is read again on every call, and every call reads the file afresh: a test
// points the registry at a file of its own with setenv("KAVRIN_REGISTRY", ...) at any time.
// A file that cannot be parsed makes every call fail with ERROR_BADDB (the reason, with its
// line number, in registry::lastFileError()) and is never written over.
// A handle whose key was deleted meanwhile gives ERROR_KEY_DELETED.
#pragma once

#include "Win32.h"

#include <string>

typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<intptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<intptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<intptr_t>(0x80000002u)))

// Access rights
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_READ 0x20019u
#define KEY_WRITE 0x20006u
#define KEY_ALL_ACCESS 0xF003Fu

// Value types
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u

#define REG_OPTION_NON_VOLATILE 0u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

LONG RegOpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                    void* security, PHKEY result, LPDWORD disposition);
// REG_SZ data is returned with its terminator. With `data` null only the size is given;
// a buffer too small gives ERROR_MORE_DATA and the needed size in *dataSize.
LONG RegQueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValue(HKEY key, LPCSTR valueName);
// `nameSize` is in characters, the terminator included on input, excluded on output.
LONG RegEnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                  LPDWORD classSize, FILETIME* lastWrite);
LONG RegEnumValue(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPDWORD type, LPBYTE data,
                  LPDWORD dataSize);
// Refuses a key that has subkeys (ERROR_ACCESS_DENIED).
LONG RegDeleteKey(HKEY key, LPCSTR subKey);
// Deletes a key with all its subkeys and values.
LONG RegDeleteTree(HKEY key, LPCSTR subKey);
LONG RegCloseKey(HKEY key);

namespace registry {

// Number of keys currently open in this process (roots not counted).
int openKeyCount();

// Test hooks.
// No-administrator mode: HKEY_LOCAL_MACHINE refuses write access (ERROR_ACCESS_DENIED).
void setNoAdminMode(bool on);
// Any call that opens, creates or deletes `keyPath` (root name included, such as
// "HKEY_LOCAL_MACHINE\SOFTWARE\JavaSoft") or a key below it fails with `error`.
void injectFailure(const std::string& keyPath, LONG error);
void clearInjectedFailures();
// The same hooks for other processes, read on every call: KAVRIN_REGISTRY_NOADMIN=1, and
// KAVRIN_REGISTRY_FAIL="HKEY_LOCAL_MACHINE\SOFTWARE\X=5;HKCU\Y=2" (key path = error code).

// The file this process uses (KAVRIN_REGISTRY or the default), as resolved now.
std::string registryFilePath();
// Text of the last error met while reading the file (empty when none).
std::string lastFileError();

// Applies a .reg file (as `reg import` does) in one step: all of it or, on an error, nothing.
// A malformed file gives ERROR_INVALID_DATA with the reason in lastFileError().
LONG importFile(const std::string& regFile);
// Writes the key named by `keyPath` ("HKEY_CURRENT_USER\Environment", short root names
// accepted) and everything below it to `regFile` as .reg text.
LONG exportKey(const std::string& keyPath, const std::string& regFile);

}  // namespace registry
