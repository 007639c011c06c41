// Listing and loading every class of a run-time image made by jlink (java.base and java.logging,
// in lib/modules) beside the same over the jmods of those two modules: reading the bytes only,
// and loading each class through the class repository (parse and cache), as the wizard and the
// generators do.
#include "ClassRepository.h"
#include "JavaImage.h"
#include "TestPaths.h"

#include <benchmark/benchmark.h>
#include <unzip.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const kModules[] = {"java.base", "java.logging"};

std::string imageHome() { return kavrin_test::kJlinkImage; }

// A home whose class library is JDK 17's jmods of the image's two modules.
const std::string& jmodHome() {
  static const std::string home = [] {
    const std::string dir =
        std::filesystem::temp_directory_path().string() + "/kavrin-bench-jmods-" + std::to_string(getpid());
    std::filesystem::create_directories(dir + "/jmods");
    for (const char* module : kModules) {
      const std::string name = std::string(module) + ".jmod";
      std::filesystem::create_symlink(std::string(kavrin_test::kJdkHome) + "/jmods/" + name, dir + "/jmods/" + name);
    }
    std::atexit([] { std::filesystem::remove_all(jmodHome()); });
    return dir;
  }();
  return home;
}

// The class names ("java/lang/String") of a jmod, and optionally their bytes.
std::size_t readJmod(const std::string& path, std::vector<std::string>* names, bool readBytes) {
  std::size_t bytes = 0;
  unzFile zip = unzOpen64(path.c_str());
  if (!zip) return 0;
  std::vector<unsigned char> buffer;
  for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
    unz_file_info64 info;
    char name[1024];
    if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK) break;
    const std::string entry(name);
    if (entry.compare(0, 8, "classes/") != 0 || entry.size() < 14 || entry.compare(entry.size() - 6, 6, ".class") != 0)
      continue;
    if (names) names->push_back(entry.substr(8, entry.size() - 14));
    if (!readBytes) continue;
    buffer.resize(info.uncompressed_size);
    if (unzOpenCurrentFile(zip) == UNZ_OK) {
      bytes += static_cast<std::size_t>(unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size())));
      unzCloseCurrentFile(zip);
    }
  }
  unzClose(zip);
  return bytes;
}

void BM_ReadEveryClassOfTheImage(benchmark::State& state) {
  std::size_t classes = 0;
  for (auto _ : state) {
    std::shared_ptr<const JavaImage> image = JavaImage::open(imageHome() + "/lib/modules");
    std::vector<unsigned char> bytes;
    classes = 0;
    for (const std::string& module : image->moduleNames()) {
      for (const std::string& entry : image->classEntries(module)) {
        image->readClass(entry.substr(0, entry.size() - 6), module, ClassRepository::kMaxClassBytes, bytes);
        ++classes;
      }
    }
  }
  state.counters["classes"] = static_cast<double>(classes);
}

void BM_ReadEveryClassOfTheJmods(benchmark::State& state) {
  for (auto _ : state)
    for (const char* module : kModules)
      benchmark::DoNotOptimize(readJmod(jmodHome() + "/jmods/" + module + ".jmod", nullptr, true));
}

// Lists the classes of every module of the home's class library and loads each through the
// repository, from an empty cache.
void loadEveryClass(benchmark::State& state, const std::string& home, bool image) {
  std::size_t loaded = 0;
  for (auto _ : state) {
    ClassRepository::resetModules(home);
    std::vector<std::string> names;
    if (image) {
      std::shared_ptr<const JavaImage> opened = JavaImage::cached(home + "/lib/modules");
      for (const std::string& entry : opened->classEntries("")) names.push_back(entry.substr(0, entry.size() - 6));
    } else {
      for (const char* module : kModules) readJmod(home + "/jmods/" + module + ".jmod", &names, false);
    }
    loaded = 0;
    for (const std::string& name : names) {
      ClassRepository loader;
      loaded += loader.loadClass(name, std::string()) ? 1 : 0;
    }
  }
  state.counters["classes"] = static_cast<double>(loaded);
}

void BM_LoadEveryClassOfTheImage(benchmark::State& state) { loadEveryClass(state, imageHome(), true); }
void BM_LoadEveryClassOfTheJmods(benchmark::State& state) { loadEveryClass(state, jmodHome(), false); }

// What the wizard's JVM page does on the user-interface thread when it opens over a JDK: the scan
// of the JDK's class library, one path per module (an image's index read from an empty cache).
void BM_ScanJdkClassLibrary(benchmark::State& state, const std::string& home) {
  if (!std::filesystem::exists(home)) {
    state.SkipWithError(("no JDK at " + home).c_str());
    return;
  }
  std::size_t modules = 0;
  for (auto _ : state) {
    JavaImage::clearCache();
    modules = jdkClassLibrary(home, true).size();
  }
  state.counters["modules"] = static_cast<double>(modules);
}

}  // namespace

BENCHMARK_CAPTURE(BM_ScanJdkClassLibrary, jdk17_jmods, std::string(kavrin_test::kJdkHome))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ScanJdkClassLibrary, jdk25_image, std::string(kavrin_test::kJdk25Home))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryClassOfTheImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadEveryClassOfTheJmods)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadEveryClassOfTheImage)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LoadEveryClassOfTheJmods)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
