// What the class-file parser needs from the class repository.
//
// While it reads a class, ClassFileParser
//  - adds the class-path root of a file whose path it has verified (ClassFileParser::classFile
//    with a non-empty path) to the repository's module set, and
//  - loads the class's super class and each of its interfaces through the repository, so that
//    they are parsed into the repository's cache before the class itself is used.
// The class repository implements this interface and installs it once with setClassParseHost;
// without a host the parser adds no module and loads no super type.
//
// The parser keeps, per thread, the set of classes whose parse is under way, and never asks the
// host to load one of them: a super-type chain that leads back to a class being parsed (A extends
// B, B extends A) ends there instead of recursing without end.
#pragma once

#include <string>

class ClassParseHost {
 public:
  virtual ~ClassParseHost() = default;

  // Adds a module path to the module set (ClassRepository::addModule).
  virtual void addModule(const std::string& path) = 0;

  // Loads a class by its '/'-separated name (java/lang/Object) through a new repository
  // object with no module hint (ClassRepository::loadClass); the tree is not used here. A class
  // that cannot be found or parsed is not an error of the parse that asked for it: report it
  // as the repository does and return normally.
  virtual void loadSuperType(const std::string& className) = 0;
};

// Installs the process-wide host; null removes it. The host must outlive every parse.
void setClassParseHost(ClassParseHost* host);
