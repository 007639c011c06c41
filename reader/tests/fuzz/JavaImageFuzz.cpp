// Any bytes as a Java image (lib/modules): opened, every location decoded, some resources read,
// the modules and their classes listed, classes looked up by name, their package and module,
// and the same through the class repository and the wizard's listing. A damaged image gives a
// JavaImageError (or a listing or a load that reports that it failed); nothing else may happen.
#include "ClassRepository.h"
#include "FuzzSupport.h"
#include "JavaImage.h"
#include "ProxyGenerator.h"

#include <string>
#include <vector>

namespace {

// Reads and lookups made per input at most, and the largest resource read.
constexpr std::size_t kMaxReads = 16;
constexpr std::size_t kMaxLoads = 4;
constexpr std::size_t kMaxBytes = 1 << 20;

void useImage(const JavaImage& image) {
  std::size_t reads = 0;
  try {
    image.forEachLocation([&](const JavaImage::Location& location) {
      if (reads++ >= kMaxReads) return;
      try {
        const std::vector<unsigned char> bytes = image.read(location, kMaxBytes);
        FUZZ_CHECK(bytes.size() == location.size, "a resource read at another size than its location's");
      } catch (const JavaImageError&) {
      }
      JavaImage::Location found;
      try {
        if (image.find(location.name(), found))
          FUZZ_CHECK(found.name() == location.name(), "a lookup found another name");
      } catch (const JavaImageError&) {
      }
    });
  } catch (const JavaImageError&) {
  }
  try {
    for (const std::string& module : image.moduleNames()) image.classEntries(module);
    const std::vector<std::string> entries = image.classEntries(std::string());
    for (std::size_t i = 0; i < entries.size() && i < kMaxLoads; ++i) {
      const std::string name = entries[i].substr(0, entries[i].size() - 6);
      std::vector<unsigned char> bytes;
      try {
        image.readClass(name, std::string(), kMaxBytes, bytes);
      } catch (const JavaImageError&) {
      }
    }
  } catch (const JavaImageError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::quietErrorStream();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz_support::writeScratchFile("modules", data, size);
  try {
    const std::shared_ptr<const JavaImage> image = JavaImage::open(path);
    useImage(*image);
  } catch (const JavaImageError&) {
  }

  // Also forgets the image that the repository kept open for the previous input.
  ClassRepository::resetModules(std::string());
  ClassRepository::addModule(path);
  std::vector<std::string> entries;
  std::string error;
  listArchiveClasses(path, &entries, &error);
  for (std::size_t i = 0; i < entries.size() && i < kMaxLoads; ++i) {
    ClassRepository loader;
    loader.loadClass(entries[i].substr(0, entries[i].size() - 6), std::string());
  }
  return 0;
}
