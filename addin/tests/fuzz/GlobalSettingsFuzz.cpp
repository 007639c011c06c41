// Any bytes as the global settings file: a file that is read is written again, and the written
// file is read into the same settings (the current JVM with its libraries and added paths, the
// other JVMs, the added paths).
#include "Com.h"
#include "FuzzSupport.h"
#include "GlobalSettings.h"

namespace {

struct Settings {
  JvmDefinition current;
  JvmDefinitionSet extra;
  std::set<std::string> added;
};

settingsxml::LoadResult read(const std::string& path, Settings& settings) {
  IXMLDOMDocumentPtr document = settingsxml::newDocument();
  return globalsettings::read(document, path, settings.current, settings.extra, settings.added);
}

bool sameJvm(const JvmDefinition& a, const JvmDefinition& b) {
  return a.strName == b.strName && a.strJREPath == b.strJREPath && a.strJDKPath == b.strJDKPath;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (FAILED(CoInitialize(nullptr))) fuzz_support::fail("COM cannot be initialised");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = fuzz_support::writeScratchFile(globalsettings::kFileName, data, size);
  Settings first;
  if (read(input, first).status != settingsxml::LoadStatus::Loaded) return 0;

  const std::string again = fuzz_support::scratchFolder() + "/again.xml";
  try {
    IXMLDOMDocumentPtr document = settingsxml::newDocument();
    globalsettings::write(document, again, first.current, first.extra, first.added);
  } catch (const _com_error& error) {
    fuzz_support::fail("settings that were read cannot be written: " + error.Description().utf8());
  }
  Settings second;
  const settingsxml::LoadResult reread = read(again, second);
  FUZZ_CHECK(reread.status == settingsxml::LoadStatus::Loaded, "the written file is not read: " + reread.problem);

  FUZZ_CHECK(sameJvm(second.current, first.current), "the current JVM changed: " + second.current.strName);
  FUZZ_CHECK(second.current.setLibraries == first.current.setLibraries, "the libraries changed");
  FUZZ_CHECK(second.current.setAddedPaths == first.current.setAddedPaths, "the JVM's added paths changed");
  FUZZ_CHECK(second.added == first.added, "the added paths changed");
  FUZZ_CHECK(second.extra.size() == first.extra.size(), "the number of other JVMs changed");
  for (const JvmDefinition& jvm : first.extra) {
    const auto found = second.extra.find(jvm.strName);
    FUZZ_CHECK(found != second.extra.end() && sameJvm(*found, jvm), "the JVM " + jvm.strName + " changed");
  }
  return 0;
}
