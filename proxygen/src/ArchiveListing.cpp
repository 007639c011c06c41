// The class entries of an archive or of a Java image, for the wizard's "Add Java Classes" dialog.
#include "ClassRepository.h"
#include "JavaImage.h"
#include "ProxyGenerator.h"

#include <unzip.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

namespace {

int listImageClasses(const std::string& image, const std::string& module, std::vector<std::string>* out,
                     std::string* error) {
  std::string why;
  const std::shared_ptr<const JavaImage> opened = JavaImage::cached(image, &why);
  std::vector<std::string> kept;
  try {
    if (!opened) throw JavaImageError(why);
    kept = opened->classEntries(module);
  } catch (const JavaImageError& e) {
    if (error) *error = e.what();
    return 0;
  }
  if (out && !kept.empty()) *out = kept;
  return static_cast<int>(kept.size());
}

}  // namespace

int listArchiveClasses(std::string path, std::vector<std::string>* out, std::string* error) {
  // The same module tests as the repository's, so that every archive and image it reads can be
  // listed.
  std::string image;
  std::string module;
  if (splitImageModule(path, image, module)) return listImageClasses(image, module, out, error);
  if (!isArchiveModule(path)) return 0;
  const bool jmod = isJmodModule(path);
  // A file that is there but cannot be read as an archive says why; a missing one lists nothing.
  auto damaged = [&](const char* what) {
    std::error_code ec;
    if (error && std::filesystem::is_regular_file(path, ec)) *error = "Cannot read the archive " + path + ": " + what;
    return 0;
  };
  unzFile zip = unzOpen64(path.c_str());
  if (!zip) return damaged("it is not a zip archive, or it is damaged.");
  unz_global_info64 global;
  if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) {
    unzClose(zip);
    return damaged("its directory is damaged.");
  }
  const std::string prefix = jmod ? "classes/" : "";
  std::vector<std::string> kept;
  // A name that stands twice is one class (its last entry is the one read), listed once.
  std::set<std::string> seen;
  std::vector<char> name(0x10000 + 1);
  ZPOS64_T visited = 0;
  int rc = unzGoToFirstFile(zip);
  for (; rc == UNZ_OK && visited < global.number_entry; rc = unzGoToNextFile(zip), ++visited) {
    unz_file_info64 info;
    rc = unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr, 0);
    if (rc != UNZ_OK) break;
    std::string entry(name.data(), std::min<std::size_t>(info.size_filename, name.size() - 1));
    const bool isClass = entry.size() > 6 && entry.compare(entry.size() - 6, 6, ".class") == 0;
    if (!isClass || entry.compare(0, prefix.size(), prefix) != 0 || !seen.insert(entry).second) continue;
    kept.push_back(entry.substr(prefix.size()));
  }
  unzClose(zip);
  // The classes before a damaged entry are listed, and the listing says it stopped.
  if (rc != UNZ_OK && rc != UNZ_END_OF_LIST_OF_FILE && visited < global.number_entry)
    damaged("its directory is damaged after the first entries.");
  if (out && !kept.empty()) *out = kept;
  return static_cast<int>(kept.size());
}
