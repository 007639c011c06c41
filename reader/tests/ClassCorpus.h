// Class files for the reader's tests: the build's Java fixtures and JDK 17's java.base module.
#pragma once

#include "TestPaths.h"
#include "TestSupport.h"

#include <unzip.h>

#include <filesystem>
#include <string>
#include <vector>

namespace reader_test {

struct ClassFile {
  std::string name;  // path of the file or archive entry
  std::vector<uint8_t> bytes;
};

// Every .class file under a folder, in path order.
inline std::vector<ClassFile> classesUnder(const std::string& folder) {
  std::vector<ClassFile> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
    if (e.is_regular_file() && e.path().extension() == ".class")
      out.push_back({e.path().string(), kavrin_test::readFileBytes(e.path().string())});
  }
  std::sort(out.begin(), out.end(), [](const ClassFile& a, const ClassFile& b) { return a.name < b.name; });
  return out;
}

inline std::vector<uint8_t> fixtureBytes(const std::string& relative) {
  return kavrin_test::readFileBytes(std::string(kavrin_test::kFixtureClasses) + "/" + relative);
}

// Every class entry (classes/...) of JDK 17's java.base.jmod.
inline std::vector<ClassFile> javaBaseClasses() {
  std::vector<ClassFile> out;
  const std::string jmod = std::string(kavrin_test::kJdkHome) + "/jmods/java.base.jmod";
  unzFile zip = unzOpen(jmod.c_str());
  if (!zip) return out;
  for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
    unz_file_info info;
    char name[1024];
    if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) continue;
    const std::string entry(name);
    if (entry.rfind("classes/", 0) != 0 || entry.size() < 6 || entry.compare(entry.size() - 6, 6, ".class") != 0)
      continue;
    ClassFile f;
    f.name = entry;
    f.bytes.resize(info.uncompressed_size);
    if (unzOpenCurrentFile(zip) != UNZ_OK) continue;
    const int n = unzReadCurrentFile(zip, f.bytes.data(), static_cast<unsigned>(f.bytes.size()));
    unzCloseCurrentFile(zip);
    if (n == static_cast<int>(f.bytes.size())) out.push_back(std::move(f));
  }
  unzClose(zip);
  return out;
}

}  // namespace reader_test
