// Any bytes as a module archive of the class repository (a jar, or a jmod when they start with
// the jmod prefix): the class entries are listed as the wizard lists them, each name once (an
// archive may hold a name twice), and the first of them loaded through the repository, which
// either finds and parses a class or reports that it cannot. Nothing else may happen: no crash,
// no sanitizer report, no exception.
#include "ClassRepository.h"
#include "FuzzSupport.h"
#include "ProxyGenerator.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// The file name under which the bytes are offered, by their first bytes.
struct ArchiveKind {
  const char* prefix;
  std::size_t length;
  const char* fileName;
};
const ArchiveKind kKinds[] = {
    {"JM\x01\x00", 4, "input.jmod"}, {"", 0, "input.jar"},  // anything else
};

// Loads at most this many of the listed classes per input.
constexpr std::size_t kMaxLoads = 8;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::quietErrorStream();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const ArchiveKind* kind = kKinds;
  while (kind->length > size || std::memcmp(kind->prefix, data, kind->length) != 0) ++kind;
  const std::string path = fuzz_support::writeScratchFile(kind->fileName, data, size);

  ClassRepository::resetModules(std::string());
  ClassRepository::addModule(path);
  std::vector<std::string> entries;
  const int count = listArchiveClasses(path, &entries);
  FUZZ_CHECK(count == static_cast<int>(entries.size()) || (count == 0 && entries.empty()),
             "the listing's count differs from its entries");
  FUZZ_CHECK(std::set<std::string>(entries.begin(), entries.end()).size() == entries.size(),
             "the listing names a class twice");

  for (std::size_t i = 0; i < entries.size() && i < kMaxLoads; ++i) {
    const std::string name = entries[i].substr(0, entries[i].size() - 6);  // without ".class"
    ClassRepository loader;
    const antlr::RefAST tree = loader.loadClass(name, std::string());
    if (tree) FUZZ_CHECK(ClassRepository::classCache.count(name) == 1, "a loaded class is not in the cache");
  }
  // A class that the archive does not hold.
  ClassRepository loader;
  loader.loadClass("kavrin/fuzz/NotThere", std::string());
  return 0;
}
