// Any bytes as the registry file: a file that the registry reads is written in a form that it
// reads again into the same keys and values, and its keys and values can be walked with the
// registry calls.
#include "FuzzSupport.h"
#include "RegFile.h"
#include "Registry.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace registry::detail;

namespace {

// Registry calls made per input at most.
constexpr int kMaxCalls = 64;

// Walks a key's values and subkeys with the registry calls, depth first.
void walk(HKEY key, int depth, int& calls) {
  char name[512];
  unsigned char data[1024];
  for (DWORD i = 0; calls < kMaxCalls; ++i) {
    DWORD nameSize = sizeof name;
    DWORD dataSize = sizeof data;
    DWORD type = 0;
    ++calls;
    const LONG rc = RegEnumValue(key, i, name, &nameSize, nullptr, &type, data, &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    FUZZ_CHECK(rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA, "value " + std::to_string(i) + ": " + std::to_string(rc));
  }
  for (DWORD i = 0; depth < 4 && calls < kMaxCalls; ++i) {
    DWORD nameSize = sizeof name;
    ++calls;
    const LONG rc = RegEnumKeyEx(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA) continue;
    FUZZ_CHECK(rc == ERROR_SUCCESS, "key " + std::to_string(i) + ": " + std::to_string(rc));
    HKEY child = nullptr;
    ++calls;
    if (RegOpenKeyEx(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
      walk(child, depth + 1, calls);
      RegCloseKey(child);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("KAVRIN_REGISTRY", (fuzz_support::scratchFolder() + "/registry.reg").c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::writeScratchFile("registry.reg", data, size);
  Tree tree;
  if (loadSnapshot(tree) != ERROR_SUCCESS) return 0;

  const std::string text = formatTree(tree);
  std::vector<RegOp> ops;
  std::string error;
  FUZZ_CHECK(parseRegText(text, ops, error), "the written form does not read: " + error);
  Tree again;
  applyOps(ops, again);
  const std::string textAgain = formatTree(again);
  FUZZ_CHECK(textAgain == text, "the written form reads as other keys or values");

  int calls = 0;
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) walk(root, 0, calls);
  FUZZ_CHECK(registry::openKeyCount() == 0, "a registry key was left open");
  return 0;
}
