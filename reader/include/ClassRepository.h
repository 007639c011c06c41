// The class repository: finds the bytes of a Java class in the configured modules (directories,
// .zip/.jar archives and, in a modern JDK, .jmod modules), parses them into a class-file tree,
// caches the tree by class name, and reports facts about the class it loaded last.
//
// The module set and the tree cache are process-wide; a ClassRepository object is a small loader
// that callers make on their stack for one or a few loads. Trees in the cache are shared by all
// loaders and live until the module set is rebuilt or the class is removed.
//
// Modules are searched in the byte-wise order of their path strings, not in insertion order. A
// module whose path ends in ".zip", ".jar" or ".jmod" (any case) is an archive; a regular file
// named "modules" is a Java image (a JDK's lib/modules), and "<image>/<module>" one module of it
// (JavaImage.h); any other module is a directory. An archive entry a/B.class is looked up as
// "a/B.class", in a .jmod module as "classes/a/B.class", in an image as "/<module>/a/B.class"
// with the module that holds package a. Archives and images are not trusted: an entry larger
// than 64 MiB, one that cannot be allocated, a short read or a bad checksum make the archive
// yield nothing; a damaged image is reported once on the standard error stream and yields
// nothing.
//
// An archive that holds one entry name twice gives the last of them, the one the JVM loads (the
// JDK's zip reader takes a name's last entry in the central directory).
//
// Archives are opened once and kept open, with their directories, until the module set is reset
// or the file changes; loaders on any thread may read them.
//
// A class whose bytes are found but cannot be read (a parse error, a damaged archive entry or
// image) gives no tree and a problem text saying why (getLoadProblem, unreadableReason); nothing
// is written to the standard error stream for it, and no exception leaves the repository. No locks on the cache and the
// module set: they are changed by one job at a time, and a tree is used by one thread at a time.
#pragma once

#include <antlr/AST.hpp>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class ClassBytesInput;

class ClassRepository {
 public:
  // Largest class file or archive entry that is read.
  static constexpr std::size_t kMaxClassBytes = 64u * 1024u * 1024u;
  // Walks of a class's super types go at most this many steps up from the class. The VM
  // needs more than its default stack for a class 200 levels deep; deeper hierarchies are
  // hostile input, refused before they cost time, memory or stack.
  static constexpr unsigned kMaxSuperTypeDepth = 1000;

  ClassRepository();
  virtual ~ClassRepository();
  ClassRepository(const ClassRepository&) = delete;
  ClassRepository& operator=(const ClassRepository&) = delete;

  // Loads a class by its name, dotted or '/'-separated, from the cache or from the modules (the
  // hint, when not empty, is added to the module set and searched first). Null when the class is
  // not found or cannot be parsed; the facts of this loader then keep their previous values.
  antlr::RefAST loadClass(std::string className, std::string moduleHint);
  // Parses one .class file. The class's own relative path (a/B.class for a/B) must end the path;
  // the part before it becomes the module path and is added to the module set. The tree replaces
  // a cached tree of the same class. Null on failure ("Wrong Path!" and other parse errors).
  antlr::RefAST loadClassFile(std::string path);

  // Clears the cache, the module set and the generated-class sets; then, for a non-empty JRE
  // home, adds <home>/lib and its *.zip and *.jar archives, the same for lib/ext and
  // lib/javaws, the JDK's class library (every <home>/jmods/*.jmod, else the image
  // <home>/lib/modules), ".", and each non-empty ':'-separated piece of CLASSPATH (a piece
  // "dir/*" as the .jar and .JAR files of dir).
  static void resetModules(std::string jreHome);
  // Adds a path to the module set as it is given; an empty path is ignored.
  static void addModule(std::string path);
  // Erases the cached tree of a class (dotted name) if there is one.
  static void removeFromCache(std::string dottedClassName);
  // Why the last load of a class (dotted or '/'-separated) by any loader found its bytes but
  // could not read them, as getLoadProblem gave it; empty when the class was read, was not
  // found, or was not looked up since the modules were reset or it was removed from the cache.
  static std::string unreadableReason(const std::string& className);
  // Counts the changes that drop or replace cached trees (resets, removals, class files loaded
  // again): while it stays the same, a tree found again for a class is the one found before,
  // so what was worked out from that tree still holds.
  static uint64_t cacheGeneration();

  // minor_version then major_version, each 2 bytes in class-file (big-endian) order, of the last
  // load (taken from the tree on a cache hit); valid while the loader lives.
  const unsigned char* getVersion() const { return m_aVersion; }
  bool isInterface() const { return m_bIsInterface; }
  bool hasNativeMethods() const { return m_bHasNativeMethods; }
  // The '/'-separated name of the last loaded class.
  std::string getClassName() const { return m_strClassName; }
  // The module in which the last load found its class (on a failed search: the last archive
  // searched), or the class-path root of the last .class file load.
  std::string getModulePath() const { return m_strModulePath; }
  // Why the last load gave no tree although the class's bytes were there: the parse error of
  // its class file ("it is not a class file: ...", "the class file ends early ...", "Wrong
  // Path!"), or the damaged archive entry or image. Empty after a load that found the class
  // nowhere or read it.
  std::string getLoadProblem() const { return m_strLoadProblem; }

  // '/'-separated class name to the root of its parsed tree.
  static std::map<std::string, antlr::RefAST> classCache;
  // Module paths, in search order.
  static std::set<std::string> modules;

 private:
  bool openClassStream(const std::string& name, const std::string& moduleHint);
  bool openModule(const std::string& module, const std::string& name);
  bool openArchiveEntry(const std::string& archivePath, const std::string& entryName);
  bool openImageEntry(const std::string& module, const std::string& image, const std::string& imageModule,
                      const std::string& name);
  bool openClassFile(const std::string& path);
  // Keeps the bytes of a class file and makes the lexer input over them.
  void useClassBytes(std::vector<unsigned char> bytes);
  // Parses the bytes of m_pInput; on success records the facts and returns the tree.
  antlr::RefAST parse(const std::string& path);
  // Takes the facts of a cached tree.
  void takeFactsFromTree(const antlr::RefAST& tree);

  std::string m_strModulePath;
  unsigned char m_aVersion[4] = {0, 0, 0, 0};
  std::vector<unsigned char> m_oClassBytes;
  std::unique_ptr<ClassBytesInput> m_pInput;
  std::string m_strClassName;
  std::string m_strLoadProblem;
  bool m_bIsInterface = false;
  bool m_bHasNativeMethods = false;
};

// Whether a module path names an archive (.zip, .jar or .jmod, any case) and whether it is a
// .jmod module.
bool isArchiveModule(const std::string& path);
bool isJmodModule(const std::string& path);
