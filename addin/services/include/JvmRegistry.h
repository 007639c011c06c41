// The registered Java VMs: the vendors' own registrations of their runtimes and development kits,
// the maker's mirror of the runtimes embedded in development kits, and the scan of both into
// JVM definitions.
//
// All keys lie below HKEY_LOCAL_MACHINE. A vendor key holds "CurrentVersion" and one subkey per
// version with its "JavaHome". A mirror key (below "SOFTWARE\QUENMAR") has the shape of a
// runtime key: "CurrentVersion" copied from the vendor's development-kit key, and per version of
// the kit its embedded runtime's "JavaHome" and "RuntimeLib". On this platform a kit's embedded
// runtime is its "jre" folder when it has one and the kit itself otherwise (a modern JDK is its
// own runtime), and "RuntimeLib" names the runtime's libjvm.so, found in the same order as the
// registration tool finds it (JavaLayout.h).
#pragma once

#include "ProjectModel.h"

#include <string>

namespace jvmregistry {

// Key names, relative to HKEY_LOCAL_MACHINE.
extern const char* const kJavaSoftRuntimeKey;  // "SOFTWARE\JavaSoft\Java Runtime Environment"
extern const char* const kJavaSoftKitKey;      // "SOFTWARE\JavaSoft\Java Development Kit"
extern const char* const kJavaSoftMirrorKey;   // "SOFTWARE\QUENMAR\JavaSoft\Java2 Runtime Environment"
extern const char* const kIbmRuntimeKey;       // "SOFTWARE\IBM\Java2 Runtime Environment"
extern const char* const kIbmKitKey;           // "SOFTWARE\IBM\Java Development Kit"
extern const char* const kIbmMirrorKey;        // "SOFTWARE\QUENMAR\IBM\Java2 Runtime Environment"

// Creates the mirror when it is missing (or has no "CurrentVersion"), no runtime of the vendor is
// registered and a development kit is; removes it (keeping the vendor key below
// "SOFTWARE\QUENMAR") when it is complete and a runtime is registered; otherwise changes
// nothing. Registry failures only narrow what is done.
void mirrorJdkRegistrations(const std::string& runtimeKey, const std::string& kitKey, const std::string& mirrorKey);

// Empties both collections, then fills `registrations` with every registered runtime version of
// JavaSoft ("SUN" + version) and IBM ("IBM" + version), from the vendor's runtime key or, when
// that does not open, from its mirror; each takes the JDK path of the kit version of the same
// name. `installed` gets, per vendor, the registration named by the kit's current version.
void loadInstalledJvms(JvmDefinitionSet& installed, JvmDefinitionSet& registrations);

}  // namespace jvmregistry
