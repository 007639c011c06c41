// KAVRINREG: run at installation time. Records the runtime embedded in each installed Java
// development kit, for vendors that have a kit but no runtime registered, under the maker's
// registry key, and tells every top-level window that the environment changed. It takes no
// arguments, shows nothing, and always ends with exit code 0.
#include "JdkRegistration.h"
#include "Win32.h"

#include <exception>

namespace {

const char kIbmRuntimeKey[] = "SOFTWARE\\IBM\\Java2 Runtime Environment";
const char kIbmKitKey[] = "SOFTWARE\\IBM\\Java Development Kit";
const char kIbmMirrorKey[] = "SOFTWARE\\QUENMAR\\IBM\\Java2 Runtime Environment";

const char kJavaSoftRuntimeKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char kJavaSoftKitKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
const char kJavaSoftMirrorKey[] = "SOFTWARE\\QUENMAR\\JavaSoft\\Java2 Runtime Environment";

const UINT kBroadcastTimeout = 6000;  // ms
const int kShowDefault = 10;

}  // namespace

int WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*show*/) {
  RegisterJdkRuntimes(kIbmRuntimeKey, kIbmKitKey, kIbmMirrorKey);
  RegisterJdkRuntimes(kJavaSoftRuntimeKey, kJavaSoftKitKey, kJavaSoftMirrorKey);

  static const char environment[] = "Environment";
  DWORD result = 0;
  SendMessageTimeout(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(environment), SMTO_ABORTIFHUNG,
                     kBroadcastTimeout, &result);
  return 0;
}

int main() {
  char commandLine[] = "";
  try {
    return WinMain(nullptr, nullptr, commandLine, kShowDefault);
  } catch (const std::exception&) {
    // Out of memory: the program ends, with the same exit code as always.
    return 0;
  }
}
