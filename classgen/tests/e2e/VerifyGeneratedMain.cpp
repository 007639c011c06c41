// classgen_verify_generated: the VM's check of every implementation and delegator class of a
// generation. The class files that the generated sources of DIR carry (each "JNIImpl" and
// "JNIDelegator" source; the empty files of a class the generation refused are passed over) are
// written out, those of packages of the base module into a folder
// that patches it; then JDK 17 runs classgentest.VerifyGenerated over all of them with
// -Xverify:all. Internal to the tests.
//
//   classgen_verify_generated DIR [CLASSPATH]
//
// CLASSPATH: where the VM finds the classes the generated ones extend or implement, beside the
// JDK's.
// Prints the VM's output; exit status 0 when every class was defined, verified and each of its
// forwarding methods reached its native twin; 1 otherwise; 2 on a usage error.
#include "TestSupport.h"
#include "TypeBytes.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The slashed class name a generated source gives its Java class ("" when it gives none).
std::string javaClassName(const std::string& source) {
  const std::string marker = "::_clazzName = \"";
  const std::size_t start = source.find(marker);
  if (start == std::string::npos) return std::string();
  const std::size_t end = source.find('"', start + marker.size());
  return end == std::string::npos ? std::string() : source.substr(start + marker.size(), end - start - marker.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: classgen_verify_generated DIR [CLASSPATH]\n");
    return 2;
  }
  std::vector<std::string> sources;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1], ec)) {
    const std::string path = entry.path().string();
    if (endsWith(path, "JNIImpl.cpp") || endsWith(path, "JNIDelegator.cpp")) sources.push_back(path);
  }
  std::sort(sources.begin(), sources.end());
  if (sources.empty()) {
    std::fprintf(stderr, "classgen_verify_generated: no generated classes in %s\n", argv[1]);
    return 1;
  }

  kavrin_test::TempDir out("classgen-verify-generated");
  std::string names;
  int problems = 0;
  for (const std::string& path : sources) {
    const std::string source = kavrin_test::readFile(path);
    // A class the generation refused (and logged) leaves its files empty.
    if (source.empty()) continue;
    const std::string name = javaClassName(source);
    const std::vector<unsigned char> bytes = source.find("::bytes[] = {\n") == std::string::npos
                                                 ? std::vector<unsigned char>()
                                                 : classgen_test::embeddedBytes(source);
    if (name.empty() || bytes.empty()) {
      std::printf("WRONG %s: no class name or no class bytes\n", path.c_str());
      ++problems;
      continue;
    }
    const bool base = name.compare(0, 5, "java/") == 0 || name.compare(0, 6, "javax/") == 0;
    kavrin_test::writeFile(out.file((base ? "base/" : "path/") + name + ".class"), bytes);
    names += name;
    std::replace(names.end() - static_cast<long>(name.size()), names.end(), '/', '.');
    names += "\n";
  }
  kavrin_test::writeFile(out.file("names.txt"), names);
  std::filesystem::create_directories(out.file("base"), ec);
  const kavrin_test::CommandResult r = kavrin_test::runJava(
      out.file("path") + ":" + CLASSGEN_TEST_CLASSES + (argc == 3 ? ":" + std::string(argv[2]) : std::string()),
      {"-Xverify:all", "--patch-module", "java.base=" + out.file("base"), "classgentest.VerifyGenerated",
       out.file("names.txt")},
      600);
  std::printf("%s", r.output.c_str());
  if (r.timedOut) std::printf("WRONG: the VM did not end in time\n");
  return problems == 0 && r.exitCode == 0 && !r.timedOut ? 0 : 1;
}
