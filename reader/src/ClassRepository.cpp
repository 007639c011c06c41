#include "ClassRepository.h"

#include "ClassBytesInput.h"
#include "ClassFileParser.hpp"
#include "ClassFileParsing.h"
#include "ClassFileTokenTypes.hpp"
#include "ClassParseHost.h"
#include "GeneratedClassSets.h"
#include "JavaImage.h"
#include "JavaTypes.h"
#include "JavaLayout.h"
#include "StringHelpers.h"
#include "ValueAST.h"
#include "Win32.h"

#include <antlr/ANTLRException.hpp>

#include <sys/stat.h>
#include <unzip.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <new>
#include <unordered_map>

std::map<std::string, antlr::RefAST> ClassRepository::classCache;
std::set<std::string> ClassRepository::modules;

namespace {

std::atomic<uint64_t> g_cacheGeneration{0};

// Lets the parser add class-path roots and load super types through the repository.
class RepositoryParseHost : public ClassParseHost {
 public:
  void addModule(const std::string& path) override { ClassRepository::addModule(path); }
  void loadSuperType(const std::string& className) override {
    ClassRepository loader;
    loader.loadClass(className, std::string());
  }
};

RepositoryParseHost g_parseHost;

// Why the classes whose bytes were found could not be read, by cache key; guarded by its mutex.
std::mutex& unreadableMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, std::string>& unreadableClasses() {
  static std::map<std::string, std::string> reasons;
  return reasons;
}

void recordUnreadable(const std::string& key, const std::string& reason) {
  std::lock_guard<std::mutex> lock(unreadableMutex());
  if (reason.empty())
    unreadableClasses().erase(key);
  else
    unreadableClasses()[key] = reason;
}

// What a parse error says about the class file, in words: the parser's own text is the
// predicate or token that failed, which tells the user nothing.
std::string describeParseError(const antlr::ANTLRException& error, std::size_t position, std::size_t size) {
  const std::string text = error.toString();
  if (text == "Wrong Path!") return text;
  if (size == 0) return "the class file is empty or cannot be read";
  if (text.find("ca == 0xca") != std::string::npos) return "it is not a class file: it does not start with 0xCAFEBABE";
  if (position >= size)
    return "the class file ends early: a count or length in it goes past its " + std::to_string(size) + " bytes";
  std::string detail = text;
  detail.erase(0, detail.find_first_not_of(' '));
  return "the class file is damaged near byte " + std::to_string(position) + " of " + std::to_string(size) + " (" +
         detail + ")";
}

// The cache keys of the loads under way on this thread. A super-type chain that leads back to a
// class whose load is under way ends there, also when the class file calls itself by another name
// than the one it was looked up by (the parser can only tell the names that the files give).
std::set<std::string>& loadsUnderWay() {
  static thread_local std::set<std::string> keys;
  return keys;
}

class LoadUnderWay {
 public:
  explicit LoadUnderWay(const std::string& key) : m_key(key), m_bEntered(loadsUnderWay().insert(key).second) {}
  ~LoadUnderWay() {
    if (m_bEntered) loadsUnderWay().erase(m_key);
  }
  LoadUnderWay(const LoadUnderWay&) = delete;
  LoadUnderWay& operator=(const LoadUnderWay&) = delete;
  bool entered() const { return m_bEntered; }

 private:
  const std::string m_key;
  const bool m_bEntered;
};

bool endsWithIgnoringCase(const std::string& text, const char* suffix) {
  const std::size_t n = std::char_traits<char>::length(suffix);
  if (text.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char c = text[text.size() - n + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

// --- Open archives ----------------------------------------------------------------------------
// Opening an archive with minizip searches its end backwards for the directory's end record (an
// open, dozens of seeks and reads), and looking an entry up with unzLocateFile reads the central
// directory from its start: either costs more than the parse of a class. Each archive is therefore
// opened once, its directory read into a map from entry name to position, and both are used again
// as long as the archive's size and modification time stay the same. Resetting the module set
// closes them. A file replaced at the same path is opened anew. Loaders on any thread may read archives: one mutex
// guards them all.
struct OpenArchive {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  struct timespec mtime = {0, 0};
  unzFile zip = nullptr;
  std::unordered_map<std::string, unz64_file_pos> entries;

  OpenArchive() = default;
  OpenArchive(const OpenArchive&) = delete;
  OpenArchive& operator=(const OpenArchive&) = delete;
  ~OpenArchive() {
    if (zip) unzClose(zip);
  }
};

std::mutex& archivesMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, std::unique_ptr<OpenArchive>>& openArchives() {
  static std::map<std::string, std::unique_ptr<OpenArchive>> archives;
  return archives;
}

// The archive at the path, opened and with its directory read, or null when it cannot be opened.
// Called with the archives' mutex held.
OpenArchive* openArchive(const std::string& path) {
  struct stat st;
  auto& archives = openArchives();
  if (stat(path.c_str(), &st) != 0) {
    archives.erase(path);
    return nullptr;
  }
  auto it = archives.find(path);
  if (it != archives.end() && it->second->device == st.st_dev && it->second->inode == st.st_ino &&
      it->second->size == st.st_size && it->second->mtime.tv_sec == st.st_mtim.tv_sec &&
      it->second->mtime.tv_nsec == st.st_mtim.tv_nsec)
    return it->second.get();
  if (it != archives.end()) archives.erase(it);

  std::unique_ptr<OpenArchive> archive(new OpenArchive);
  archive->device = st.st_dev;
  archive->inode = st.st_ino;
  archive->size = st.st_size;
  archive->mtime = st.st_mtim;
  archive->zip = unzOpen64(path.c_str());
  if (!archive->zip) return nullptr;
  std::vector<char> name(0x10000 + 1);
  for (int rc = unzGoToFirstFile(archive->zip); rc == UNZ_OK; rc = unzGoToNextFile(archive->zip)) {
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(archive->zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr,
                                0) != UNZ_OK)
      break;
    unz64_file_pos pos;
    if (unzGetFilePos64(archive->zip, &pos) != UNZ_OK) break;
    const std::size_t length = std::min<std::size_t>(info.size_filename, name.size() - 1);
    // A name that stands twice means its last entry, the one the JVM loads.
    archive->entries[std::string(name.data(), length)] = pos;
  }
  OpenArchive* opened = archive.get();
  archives[path] = std::move(archive);
  return opened;
}

void closeArchives() {
  std::lock_guard<std::mutex> lock(archivesMutex());
  openArchives().clear();
}

// An archive written with Zip64 records (zip -fz) keeps 0xFFFFFFFF in the 32-bit size fields of
// the central directory and the real sizes in the entry's Zip64 extended information (header id
// 1), which holds, in this order, each of the uncompressed and compressed sizes whose 32-bit field
// is 0xFFFFFFFF. Takes those sizes into the entry's facts; false when a field says 0xFFFFFFFF and
// the extended information does not give its size.
bool takeZip64Sizes(const unsigned char* extra, std::size_t length, unz_file_info64& info) {
  const ZPOS64_T kEscape = 0xFFFFFFFFu;
  const bool wantUncompressed = info.uncompressed_size == kEscape;
  const bool wantCompressed = info.compressed_size == kEscape;
  if (!wantUncompressed && !wantCompressed) return true;
  auto u16 = [&](std::size_t at) { return static_cast<unsigned>(extra[at] | (extra[at + 1] << 8)); };
  auto u64 = [&](std::size_t at) {
    ZPOS64_T value = 0;
    for (int i = 7; i >= 0; --i) value = (value << 8) | extra[at + static_cast<std::size_t>(i)];
    return value;
  };
  for (std::size_t at = 0; at + 4 <= length;) {
    const unsigned id = u16(at);
    const std::size_t size = u16(at + 2);
    const std::size_t data = at + 4;
    if (data + size > length) return false;
    if (id == 0x0001) {
      std::size_t field = data;
      if (wantUncompressed) {
        if (field + 8 > data + size) return false;
        info.uncompressed_size = u64(field);
        field += 8;
      }
      if (wantCompressed) {
        if (field + 8 > data + size) return false;
        info.compressed_size = u64(field);
      }
      return true;
    }
    at = data + size;
  }
  return false;
}

// The bytes of the current entry, all of them or none.
bool readCurrentEntry(unzFile zip, std::vector<unsigned char>& bytes) {
  unz_file_info64 info;
  unsigned char extra[0xFFFF];
  if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, extra, sizeof extra, nullptr, 0) != UNZ_OK) return false;
  if (!takeZip64Sizes(extra, std::min<std::size_t>(info.size_file_extra, sizeof extra), info)) return false;
  if (info.uncompressed_size > ClassRepository::kMaxClassBytes) return false;
  const std::size_t size = static_cast<std::size_t>(info.uncompressed_size);
  try {
    bytes.assign(size, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (unzOpenCurrentFile(zip) != UNZ_OK) return false;
  std::size_t got = 0;
  while (got < size) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size - got, 1u << 24));
    const int read = unzReadCurrentFile(zip, bytes.data() + got, chunk);
    if (read <= 0) break;
    got += static_cast<std::size_t>(read);
  }
  // Closing checks the entry's CRC once every byte that the 32-bit size field declares has been
  // read, which for a Zip64 entry never happens: the checksum is compared here as well.
  const int closed = unzCloseCurrentFile(zip);
  return got == size && closed == UNZ_OK &&
         crc32(0L, bytes.data(), static_cast<uInt>(size)) == static_cast<uLong>(info.crc);
}

// The contents of a regular file of at most kMaxClassBytes, or false.
bool readClassFile(const std::string& path, std::vector<unsigned char>& bytes) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
      static_cast<unsigned long long>(st.st_size) > ClassRepository::kMaxClassBytes)
    return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  try {
    bytes.assign(static_cast<std::size_t>(st.st_size), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (static_cast<std::size_t>(in.gcount()) != bytes.size()) return false;
  return true;
}

// Adds folder/<name> for every file of the folder whose name ends in the suffix (any case).
void addArchivesOf(const std::string& folder, const char* pattern) {
  WIN32_FIND_DATA data;
  HANDLE find = FindFirstFile((folder + "/" + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ClassRepository::addModule(folder + "/" + data.cFileName);
  } while (FindNextFile(find, &data));
  FindClose(find);
}

uint16_t shortValue(const antlr::RefAST& node) {
  const ShortAST* value = nodeAs<ShortAST>(node);
  return value ? value->getValue() : 0;
}

}  // namespace

bool isArchiveModule(const std::string& path) {
  return endsWithIgnoringCase(path, ".zip") || endsWithIgnoringCase(path, ".jar") || isJmodModule(path);
}

bool isJmodModule(const std::string& path) { return endsWithIgnoringCase(path, ".jmod"); }

ClassRepository::ClassRepository() { setClassParseHost(&g_parseHost); }

ClassRepository::~ClassRepository() = default;

antlr::RefAST ClassRepository::loadClass(std::string className, std::string moduleHint) {
  setClassParseHost(&g_parseHost);
  m_strLoadProblem.clear();
  const std::string key = replaceChar(className, '.', '/');
  if (key.empty()) return antlr::nullAST;

  auto cached = classCache.find(key);
  if (cached != classCache.end()) {
    antlr::RefAST tree = cached->second;
    if (tree) {
      takeFactsFromTree(tree);
      m_strClassName = key;
      // As a parse does: a generation run that starts with empty sets finds every class it
      // loads there, whether or not an earlier run parsed it.
      referencedClasses.insert(replaceChar(key, '/', '.'));
    }
    return tree;
  }

  LoadUnderWay underWay(key);
  if (!underWay.entered()) return antlr::nullAST;
  antlr::RefAST tree;
  if (openClassStream(key, moduleHint)) tree = parse(std::string());
  if (tree) classCache[key] = tree;
  recordUnreadable(key, m_strLoadProblem);
  return tree;
}

antlr::RefAST ClassRepository::loadClassFile(std::string path) {
  setClassParseHost(&g_parseHost);
  m_strLoadProblem.clear();
  std::vector<unsigned char> bytes;
  // A file that cannot be read is parsed as empty input, which the parser rejects.
  if (!readClassFile(path, bytes)) bytes.clear();
  useClassBytes(std::move(bytes));

  antlr::RefAST tree = parse(path);
  if (tree) {
    classCache[m_strClassName] = tree;
    ++g_cacheGeneration;
  }
  return tree;
}

void ClassRepository::resetModules(std::string jreHome) {
  classCache.clear();
  ++g_cacheGeneration;
  {
    std::lock_guard<std::mutex> lock(unreadableMutex());
    unreadableClasses().clear();
  }
  modules.clear();
  clearGeneratedClassSets();
  closeArchives();
  JavaImage::clearCache();
  if (jreHome.empty()) return;

  const std::string lib = jreHome + "/lib";
  const std::string ext = lib + "/ext";
  const std::string javaws = lib + "/javaws";
  for (const std::string& folder : {lib, ext, javaws}) {
    addModule(folder);
    addArchivesOf(folder, "*.zip");
    addArchivesOf(folder, "*.jar");
  }
  // A JDK 9 or later keeps its class library in jmods/*.jmod or in its image lib/modules.
  for (const std::string& library : jdkClassLibrary(jreHome, false)) addModule(library);
  addModule(".");

  // "dir/*" stands for the jars of the folder, as the java launcher reads it.
  if (const char* classPath = std::getenv("CLASSPATH")) {
    for (const std::string& entry : javalayout::classPathEntries(classPath, false)) addModule(entry);
  }
}

void ClassRepository::addModule(std::string path) {
  if (!path.empty()) modules.insert(path);
}

void ClassRepository::removeFromCache(std::string dottedClassName) {
  const std::string key = replaceChar(dottedClassName, '.', '/');
  classCache.erase(key);
  recordUnreadable(key, std::string());
  ++g_cacheGeneration;
}

std::string ClassRepository::unreadableReason(const std::string& className) {
  std::lock_guard<std::mutex> lock(unreadableMutex());
  const auto found = unreadableClasses().find(replaceChar(className, '.', '/'));
  return found == unreadableClasses().end() ? std::string() : found->second;
}

uint64_t ClassRepository::cacheGeneration() { return g_cacheGeneration.load(); }

bool ClassRepository::openClassStream(const std::string& name, const std::string& moduleHint) {
  m_pInput.reset();
  if (!moduleHint.empty()) {
    addModule(moduleHint);
    if (openModule(moduleHint, name)) return true;
  }
  for (const std::string& module : modules) {
    if (module.empty() || module == moduleHint) continue;
    if (openModule(module, name)) return true;
  }
  return false;
}

bool ClassRepository::openModule(const std::string& module, const std::string& name) {
  if (isArchiveModule(module)) return openArchiveEntry(module, name + ".class");
  std::string image;
  std::string imageModule;
  if (splitImageModule(module, image, imageModule)) return openImageEntry(module, image, imageModule, name);
  if (!openClassFile(module + "/" + name + ".class")) return false;
  m_strModulePath = module;
  return true;
}

bool ClassRepository::openArchiveEntry(const std::string& archivePath, const std::string& entryName) {
  if (archivePath.empty()) return false;
  if (!endsWithIgnoringCase(archivePath, ".class") && !isArchiveModule(archivePath)) return false;
  modules.insert(archivePath);
  m_strModulePath = archivePath;

  std::string entry = replaceChar(entryName, '.', '/');
  if (entry.size() >= 6) entry.replace(entry.size() - 6, 6, ".class");
  if (isJmodModule(archivePath)) entry = "classes/" + entry;

  std::vector<unsigned char> bytes;
  {
    std::lock_guard<std::mutex> lock(archivesMutex());
    OpenArchive* archive = openArchive(archivePath);
    if (!archive) return false;
    auto found = archive->entries.find(entry);
    if (found == archive->entries.end()) return false;
    unz64_file_pos pos = found->second;
    if (unzGoToFilePos64(archive->zip, &pos) != UNZ_OK || !readCurrentEntry(archive->zip, bytes)) {
      m_strLoadProblem = "its entry " + entry + " in " + archivePath + " is damaged or too large";
      return false;
    }
  }
  useClassBytes(std::move(bytes));
  return true;
}

bool ClassRepository::openImageEntry(const std::string& module, const std::string& image,
                                     const std::string& imageModule, const std::string& name) {
  m_strModulePath = module;
  std::string error;
  bool firstFailure = false;
  const std::shared_ptr<const JavaImage> opened = JavaImage::cached(image, &error, &firstFailure);
  if (!opened) {
    // Told once for the file as it is; its classes are then simply not found in it.
    if (firstFailure) std::cerr << error << std::endl;
    m_strLoadProblem = error;
    return false;
  }
  std::vector<unsigned char> bytes;
  try {
    if (!opened->readClass(name, imageModule, kMaxClassBytes, bytes)) return false;
  } catch (const JavaImageError& e) {
    std::cerr << e.what() << std::endl;
    m_strLoadProblem = e.what();
    return false;
  }
  useClassBytes(std::move(bytes));
  return true;
}

bool ClassRepository::openClassFile(const std::string& path) {
  if (path.empty()) return false;
  std::vector<unsigned char> bytes;
  if (!readClassFile(path, bytes)) return false;
  useClassBytes(std::move(bytes));
  return true;
}

void ClassRepository::useClassBytes(std::vector<unsigned char> bytes) {
  m_pInput.reset();
  m_oClassBytes = std::move(bytes);
  m_pInput.reset(new ClassBytesInput(m_oClassBytes.data(), m_oClassBytes.size()));
}

antlr::RefAST ClassRepository::parse(const std::string& path) {
  antlr::RefAST tree;
  if (!m_pInput) return tree;
  {
    ClassFileParsing parsing(*m_pInput);
    ClassFileParser& parser = parsing.parser;
    try {
      parser.classFile(path);
      antlr::RefAST root = parser.getAST();
      if (root) {
        std::copy(parser.getVersion(), parser.getVersion() + 4, m_aVersion);
        m_strClassName = parser.getClassName();
        m_bIsInterface = parser.isInterface();
        m_bHasNativeMethods = parser.hasNativeMethods();
        if (!path.empty()) {
          m_strModulePath = parser.getClassPathRoot();
          addModule(m_strModulePath);
        }
        referencedClasses.insert(replaceChar(m_strClassName, '/', '.'));
        tree = root;
      }
      m_strLoadProblem.clear();
    } catch (const antlr::ANTLRException& ex) {
      m_strLoadProblem = describeParseError(ex, m_pInput->position(), m_pInput->size());
    } catch (const std::exception& ex) {
      m_strLoadProblem = ex.what();
    }
  }
  m_pInput.reset();
  return tree;
}

void ClassRepository::takeFactsFromTree(const antlr::RefAST& tree) {
  bool isInterface = false;
  bool hasNatives = false;
  for (antlr::RefAST node = tree; node; node = node->getNextSibling()) {
    switch (node->getType()) {
      case ClassFileTokenTypes::VERSION:
        for (antlr::RefAST part = node->getFirstChild(); part; part = part->getNextSibling()) {
          const uint16_t value = shortValue(part);
          const int at = part->getType() == ClassFileTokenTypes::MINOR   ? 0
                         : part->getType() == ClassFileTokenTypes::MAJOR ? 2
                                                                         : -1;
          if (at >= 0) {
            m_aVersion[at] = static_cast<unsigned char>(value >> 8);
            m_aVersion[at + 1] = static_cast<unsigned char>(value & 0xFF);
          }
        }
        break;
      case ClassFileTokenTypes::THIS_INTERFACE:
        isInterface = true;
        break;
      case ClassFileTokenTypes::METHODS:
        for (antlr::RefAST method = node->getFirstChild(); method; method = method->getNextSibling()) {
          antlr::RefAST flags = method->getFirstChild();
          if (flags && flags->getType() == ClassFileTokenTypes::ACCESS_FLAGS && (shortValue(flags) & kAccNative))
            hasNatives = true;
        }
        break;
      default:
        break;
    }
  }
  m_bIsInterface = isInterface;
  m_bHasNativeMethods = hasNatives;
}
