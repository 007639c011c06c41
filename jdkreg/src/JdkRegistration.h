// Recording the runtimes embedded in installed Java development kits under the maker's key.
#pragma once

#include <string>

// For a vendor that has a development kit registered (`kitKey`) but no runtime (`runtimeKey`),
// writes every kit version's embedded runtime under `mirrorKey` (JavaHome and RuntimeLib per
// version, and the kit's CurrentVersion). Key paths are relative to HKEY_LOCAL_MACHINE.
// Registry failures only narrow what is done; nothing is reported.
void RegisterJdkRuntimes(const char* runtimeKey, const char* kitKey, const char* mirrorKey);
