// Per-thread last error and the errno mapping.
#include "Internal.h"

#include <cerrno>

namespace {
thread_local DWORD tLastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return tLastError; }

void SetLastError(DWORD code) { tLastError = code; }

namespace win32 {

DWORD errorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case EEXIST:
    case ENOTEMPTY:
    case EBUSY:
    case ETXTBSY:
      return ERROR_ACCESS_DENIED;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EIO:
      return ERROR_INVALID_DATA;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

namespace detail {

std::string fold(const std::string& text) {
  std::string out(text);
  for (char& c : out) c = foldChar(c);
  return out;
}

}  // namespace detail
}  // namespace win32
