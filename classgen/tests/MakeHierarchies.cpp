// Writes the class files of the hostile hierarchies that the hierarchy tests walk into a folder
// (the build packs them into one jar):
//   hier/C0 .. hier/C5999   a chain of classes, each extending the next (the last java/lang/Object)
//   hier/I0 .. hier/I5999   a chain of interfaces, each extending the next
//   hier/A0 .. hier/A19, hier/B0 .. hier/B19
//                           a ladder: at every level A and B both extend the next level's A and B;
//                           each declares its own method a<i>()V or b<i>()V and shared()V
//
//   classgen_make_hierarchies FOLDER
#include "TypeBytes.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

bool write(const std::string& folder, const std::string& name, const std::vector<unsigned char>& bytes) {
  const std::filesystem::path path = std::filesystem::path(folder) / (name + ".class");
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  using classgen_test::typeBytes;
  if (argc != 2) {
    std::fprintf(stderr, "usage: classgen_make_hierarchies FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int chain = 6000;
  const int ladder = 20;
  bool ok = true;
  for (int i = 0; i < chain; ++i) {
    const std::string c = "hier/C" + std::to_string(i);
    const std::string next = "hier/C" + std::to_string(i + 1);
    ok = write(folder, c, typeBytes(c, i + 1 == chain ? "java/lang/Object" : next, {}, false)) && ok;
    const std::string in = "hier/I" + std::to_string(i);
    std::vector<std::string> supers;
    if (i + 1 < chain) supers.push_back("hier/I" + std::to_string(i + 1));
    ok = write(folder, in, typeBytes(in, "java/lang/Object", supers, true)) && ok;
  }
  for (int i = 0; i < ladder; ++i) {
    std::vector<std::string> next;
    if (i + 1 < ladder) next = {"hier/A" + std::to_string(i + 1), "hier/B" + std::to_string(i + 1)};
    for (const char side : {'A', 'B'}) {
      const std::string name = std::string("hier/") + side + std::to_string(i);
      const std::string own = std::string(1, side == 'A' ? 'a' : 'b') + std::to_string(i);
      ok = write(folder, name, typeBytes(name, "java/lang/Object", next, true, {own, "shared"})) && ok;
    }
  }
  if (!ok) std::fprintf(stderr, "classgen_make_hierarchies: cannot write into %s\n", folder.c_str());
  return ok ? 0 : 1;
}
