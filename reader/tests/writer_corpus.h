// Class files to test and measure the writer on: the fixture folders and the entries of a jmod
// (or any zip) archive, and parsing them the way the class repository does.
#pragma once

#include "ClassBytesInput.h"
#include "ClassFileParser.hpp"
#include "ClassFileParsing.h"
#include "ValueAST.h"

#include <unzip.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace writer_corpus {

struct ClassBytes {
  std::string name;
  std::vector<unsigned char> bytes;
};

// Every .class file under a folder, in name order.
inline std::vector<ClassBytes> folderClasses(const std::string& folder) {
  std::vector<ClassBytes> classes;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".class") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    ClassBytes c;
    c.name = entry.path().string();
    c.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    classes.push_back(std::move(c));
  }
  std::sort(classes.begin(), classes.end(), [](const ClassBytes& a, const ClassBytes& b) { return a.name < b.name; });
  return classes;
}

// Calls `visit` with every entry of the archive whose name starts with `prefix` and ends in
// ".class", in archive order; returns the number of such entries. Throws std::runtime_error when
// the archive or an entry cannot be read.
inline std::size_t forEachArchiveClass(const std::string& archive, const std::string& prefix,
                                       const std::function<void(const ClassBytes&)>& visit) {
  unzFile zip = unzOpen(archive.c_str());
  if (!zip) throw std::runtime_error("cannot open archive " + archive);
  std::size_t count = 0;
  ClassBytes c;
  try {
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
      unz_file_info info;
      char name[1024];
      if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
        throw std::runtime_error("cannot read an entry of " + archive);
      c.name = name;
      if (c.name.size() < prefix.size() + 6 || c.name.compare(0, prefix.size(), prefix) != 0 ||
          c.name.compare(c.name.size() - 6, 6, ".class") != 0)
        continue;
      c.bytes.resize(info.uncompressed_size);
      if (unzOpenCurrentFile(zip) != UNZ_OK) throw std::runtime_error("cannot open entry " + c.name);
      const int got =
          c.bytes.empty() ? 0 : unzReadCurrentFile(zip, c.bytes.data(), static_cast<unsigned>(c.bytes.size()));
      unzCloseCurrentFile(zip);
      if (got < 0 || static_cast<std::size_t>(got) != c.bytes.size())
        throw std::runtime_error("cannot read entry " + c.name);
      ++count;
      visit(c);
    }
  } catch (...) {
    unzClose(zip);
    throw;
  }
  unzClose(zip);
  return count;
}

inline std::vector<ClassBytes> archiveClasses(const std::string& archive, const std::string& prefix) {
  std::vector<ClassBytes> classes;
  forEachArchiveClass(archive, prefix, [&](const ClassBytes& c) { classes.push_back(c); });
  return classes;
}

// One parse, as the class repository makes it (without its nested loads of super types).
struct Parsed {
  antlr::RefAST tree;
  bool isInterface = false;
  bool hasNativeMethods = false;
};

// Parses class bytes; antlr exceptions pass through.
inline Parsed parse(const std::vector<unsigned char>& bytes) {
  ClassBytesInput input(bytes.data(), bytes.size());
  ClassFileParsing parsing(input);
  parsing.parser.classFile("");
  Parsed out;
  out.tree = parsing.parser.getAST();
  out.isInterface = parsing.parser.isInterface();
  out.hasNativeMethods = parsing.parser.hasNativeMethods();
  return out;
}

}  // namespace writer_corpus
