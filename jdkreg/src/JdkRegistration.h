// Recording the runtimes embedded in installed Java development kits under the maker's key.
#pragma once

#include <string>

// For a vendor that has a development kit registered (`kitKey`) but no runtime (`runtimeKey`),
// writes every kit version's embedded runtime under `mirrorKey` (JavaHome and RuntimeLib per
// version, and the kit's CurrentVersion). Key paths are relative to HKEY_LOCAL_MACHINE.
// Registry failures only narrow what is done; nothing is reported.
void RegisterJdkRuntimes(const char* runtimeKey, const char* kitKey, const char* mirrorKey);

// The home of the runtime inside the kit at `kitHome`: its "jre" folder when the kit has one
// (kits before Java 9), otherwise the kit home itself.
std::string EmbeddedRuntimeHome(const std::string& kitHome);

// The VM library of the runtime at `runtimeHome`: the first of lib/server, lib/amd64/server,
// lib/client and lib/amd64/client that holds libjvm.so; lib/server/libjvm.so when none does
// (the kit may belong to another machine image).
std::string RuntimeLibraryPath(const std::string& runtimeHome);
