// kavrin_library_driver: one generation over whole libraries, as the wizard's generation run does
// it: the files of every chosen class of one kind, then the shared files "defproxies.h" and
// "defproxies.cpp". Internal to the tests (the whole-library checks); not part of any deliverable.
//
//   kavrin_library_driver -o DIR --kind proxy|impl|delegator [options] [CLASS]...
//     --jdk HOME         the modules of a JDK or JRE home (its jmods, lib archives)
//     -m MODULE          a further module: a class folder, a .jar/.zip or a .jmod (repeatable)
//     --public-of PATH   every public class of an archive, a .jmod or a class folder (repeatable);
//                        of a .jmod, those of the packages its module exports to everyone. The
//                        path becomes a module too.
//     --select WHICH     with --public-of: all (default), classes, interfaces, or those a Java
//                        class may take as its own: open-interfaces (the interfaces that are not
//                        sealed), open-classes (the classes neither final nor sealed, but
//                        java.lang.Object, which every class extends already)
//
// No name substitutions, no prefixes, the global filter as a new project has it. Writes the
// dotted names of the classes it generated, one a line, to DIR/classes.txt. A class that is not
// written is logged as "Cannot process Bytecode: " in DIR/KAVRIN.LOG (the writers log why).
// Exit status: 0 when everything was written, 1 when the log got a line, 2 on a usage error.
#include "ClassBuilderBase.h"
#include "ClassFileTokenTypes.hpp"
#include "ClassRepository.h"
#include "GenerationLog.h"
#include "GenerationSetup.h"
#include "JavaTypes.h"
#include "ProxyGenerator.h"
#include "TypeMapping.h"
#include "ValueAST.h"

#include <unzip.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

int usage(const std::string& problem) {
  std::cerr << "kavrin_library_driver: " << problem << "\n"
            << "usage: kavrin_library_driver -o DIR --kind proxy|impl|delegator [--jdk HOME] [-m MODULE]...\n"
            << "       [--public-of PATH]... [--select all|classes|interfaces|open-interfaces|open-classes]\n"
            << "       [CLASS]...\n";
  return 2;
}

// The access flags of a class as its tree holds them, and whether it is sealed; false when the
// tree has no class head.
bool classFlags(const antlr::RefAST& tree, uint16_t& flags, bool& sealed) {
  bool found = false;
  sealed = false;
  for (antlr::RefAST node = tree; node; node = node->getNextSibling()) {
    const int type = node->getType();
    if (type == ClassFileTokenTypes::ATTRIBUTES) sealed = ClassBuilderBase::isSealed(node);
    if (type != ClassFileTokenTypes::THIS_CLASS && type != ClassFileTokenTypes::THIS_INTERFACE) continue;
    antlr::RefAST access = node->getFirstChild();
    const ShortAST* value = access ? dynamic_cast<const ShortAST*>(access.get()) : nullptr;
    if (!value || access->getType() != ClassFileTokenTypes::ACCESS_FLAGS) return false;
    flags = value->getValue();
    found = true;
  }
  return found;
}

// The '/'-separated names of the class entries of an archive or a class folder.
std::vector<std::string> classEntries(const std::string& path) {
  std::vector<std::string> names;
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(path, ec)) {
      const std::string relative = std::filesystem::relative(e.path(), path, ec).generic_string();
      if (e.is_regular_file() && e.path().extension() == ".class") names.push_back(relative);
    }
  } else {
    listArchiveClasses(path, &names);
  }
  for (std::string& name : names) name.erase(name.size() - 6);
  return names;
}

// The packages (dotted) that the module of a .jmod exports to every module: read from the Module
// attribute of its classes/module-info.class. Empty when it cannot be read.
std::set<std::string> exportedPackages(const std::string& jmod) {
  std::vector<unsigned char> bytes;
  if (unzFile zip = unzOpen64(jmod.c_str())) {
    unz_file_info64 info;
    if (unzLocateFile(zip, "classes/module-info.class", 1) == UNZ_OK &&
        unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK &&
        info.uncompressed_size < (1u << 24) && unzOpenCurrentFile(zip) == UNZ_OK) {
      bytes.resize(info.uncompressed_size);
      if (unzReadCurrentFile(zip, bytes.data(), static_cast<unsigned>(bytes.size())) != static_cast<int>(bytes.size()))
        bytes.clear();
      unzCloseCurrentFile(zip);
    }
    unzClose(zip);
  }
  std::size_t pos = 8;
  bool ok = true;
  auto u1 = [&]() -> unsigned {
    if (pos >= bytes.size()) {
      ok = false;
      return 0;
    }
    return bytes[pos++];
  };
  auto u2 = [&]() {
    unsigned high = u1();
    return (high << 8) | u1();
  };
  auto skip = [&](std::size_t n) {
    pos += n;
    ok = ok && pos <= bytes.size();
  };

  // The constant pool: the text of each Utf8 entry, and the name index of each Package entry.
  const unsigned count = u2();
  std::vector<std::string> utf8(count);
  std::vector<unsigned> nameIndex(count, 0);
  for (unsigned i = 1; ok && i < count; ++i) {
    switch (u1()) {
      case 1: {
        const unsigned length = u2();
        if (pos + length <= bytes.size()) utf8[i].assign(bytes.begin() + pos, bytes.begin() + pos + length);
        skip(length);
        break;
      }
      case 5:
      case 6:
        skip(8);
        ++i;
        break;
      case 7:
      case 8:
      case 16:
      case 19:
        skip(2);
        break;
      case 20:
        nameIndex[i] = u2();
        break;
      case 15:
        skip(3);
        break;
      case 3:
      case 4:
      case 9:
      case 10:
      case 11:
      case 12:
      case 17:
      case 18:
        skip(4);
        break;
      default:
        ok = false;
    }
  }
  skip(6);
  for (int members = 0; ok && members < 3; ++members) {  // interfaces, fields, methods: none
    if (u2() != 0) ok = false;
  }
  std::set<std::string> packages;
  for (unsigned attributes = ok ? u2() : 0; ok && attributes > 0; --attributes) {
    const unsigned name = u2();
    const std::size_t length = (std::size_t(u2()) << 16) | u2();
    const std::size_t end = pos + length;
    if (name < count && utf8[name] == "Module") {
      skip(6);
      for (unsigned requires = u2(); ok && requires > 0; --requires) skip(6);
      for (unsigned exports = u2(); ok && exports > 0; --exports) {
        const unsigned package = u2();
        skip(2);
        const unsigned targets = u2();
        skip(2 * targets);
        if (targets == 0 && package < count && nameIndex[package] < count)
          packages.insert(replaceChar(utf8[nameIndex[package]], '/', '.'));
      }
    }
    pos = end;
  }
  return packages;
}

const char* const kSelections[] = {"all", "classes", "interfaces", "open-interfaces", "open-classes"};

bool selected(const std::string& name, uint16_t flags, bool sealed, const std::string& which) {
  if (!(flags & kAccPublic)) return false;
  const bool isInterface = (flags & kAccInterface) != 0;
  if (which == "classes") return !isInterface;
  if (which == "interfaces") return isInterface;
  if (which == "open-interfaces") return isInterface && !sealed;
  if (which == "open-classes") return !isInterface && !(flags & kAccFinal) && !sealed && name != "java/lang/Object";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outDir;
  std::string jdkHome;
  std::string kind;
  std::string which = "all";
  std::vector<std::string> modules;
  std::vector<std::string> libraries;
  std::set<std::string> classes;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "-o" && hasValue) {
      outDir = argv[++i];
    } else if (arg == "--kind" && hasValue) {
      kind = argv[++i];
    } else if (arg == "--jdk" && hasValue) {
      jdkHome = argv[++i];
    } else if (arg == "-m" && hasValue) {
      modules.push_back(argv[++i]);
    } else if (arg == "--public-of" && hasValue) {
      libraries.push_back(argv[++i]);
    } else if (arg == "--select" && hasValue) {
      which = argv[++i];
    } else if (!arg.empty() && arg[0] == '-') {
      return usage("unknown option or missing value: " + arg);
    } else {
      classes.insert(arg);
    }
  }
  if (outDir.empty()) return usage("no output folder (-o)");
  if (kind != "proxy" && kind != "impl" && kind != "delegator") return usage("--kind must be proxy, impl or delegator");
  if (std::find(std::begin(kSelections), std::end(kSelections), which) == std::end(kSelections))
    return usage("unknown --select " + which);

  std::vector<std::string> searched = modules;
  searched.insert(searched.end(), libraries.begin(), libraries.end());
  const std::string directory = kavrin_test::startGeneration(outDir, jdkHome, searched);

  for (const std::string& library : libraries) {
    const std::set<std::string> packages = isJmodModule(library) ? exportedPackages(library) : std::set<std::string>();
    if (isJmodModule(library) && packages.empty()) return usage("no exported packages found in " + library);
    for (const std::string& entry : classEntries(library)) {
      const std::size_t slash = entry.rfind('/');
      const std::string package = slash == std::string::npos ? "" : replaceChar(entry.substr(0, slash), '/', '.');
      if (entry.find("module-info") != std::string::npos || (!packages.empty() && !packages.count(package))) continue;
      ClassRepository repository;
      uint16_t flags = 0;
      bool sealed = false;
      if (classFlags(repository.loadClass(entry, library), flags, sealed) && selected(entry, flags, sealed, which))
        classes.insert(replaceChar(entry, '/', '.'));
    }
  }
  if (classes.empty()) return usage("no classes");

  bool success = true;
  std::ofstream list(directory + "classes.txt");
  for (const std::string& className : classes) {
    ProxyGenerator generator(className);
    bool written = false;
    if (kind == "proxy")
      written = generator.genProxy(directory, false);
    else if (kind == "impl")
      written = generator.genInterfaceImpl(directory, false);
    else
      written = generator.genDelegator(directory, false);
    if (written) {
      list << className << "\n";
    } else {
      appendLogLine(directory, kLogCannotProcess + className);
      success = false;
    }
  }
  list.close();
  if (!genDefProxies(directory, false)) {
    std::cerr << "kavrin_library_driver: cannot write the shared files in " << directory << "\n";
    success = false;
  }
  std::cout << kind << ": " << (generatedProxies.size() + generatedImpls.size() + generatedDelegators.size()) << " of "
            << classes.size() << " classes written to " << directory << "\n";
  if (!success) std::cout << "see " << directory << "KAVRIN.LOG\n";
  return success ? 0 : 1;
}
