// Java run-time images: the file "lib/modules" in which a JDK of release 9 or later (and every
// image made by jlink) keeps its whole class library, in the jimage format.
//
// Layout. Every number of the header, the tables and the compression headers is in the byte
// order of the machine that wrote the image, which the magic number tells; location attributes
// are big-endian.
//   header        7 u4: magic 0xCAFEDADA, version (major << 16 | minor; 1.0 is read), flags,
//                 resource count, table length, size of the location attributes, size of the
//                 strings
//   redirects     table length s4
//   offsets       table length u4: where each resource's location starts in the attributes
//   attributes    per location a run of attributes, each one byte (kind << 3 | length - 1) and
//                 `length` value bytes, ended by kind 0; kinds 1 module, 2 parent, 3 base and
//                 4 extension are string offsets, 5 is the resource offset (from the end of the
//                 strings), 6 the compressed size (0 when stored) and 7 the size
//   strings       NUL-ended UTF-8 texts
//   resources     the bytes of every resource
// A resource is named "/module/parent/base.extension" ("/java.base/java/lang/String.class").
// Looking a name up hashes it (seed 0x01000193) to a redirect entry: a negative entry v means
// index -1 - v, a positive one a second hash of the name with v as its seed, zero no resource;
// the location at that index is the resource when its name is the one looked for. The pseudo
// module "packages" holds, per package, pairs (empty flag, module name offset) that tell which
// module holds the package's classes.
//
// A compressed resource is one or more layers, each with a header (magic 0xCAFEFAFA, compressed
// size u8, size u8, decompressor name and configuration as string offsets u4, a terminal flag
// u1). The "zip" decompressor (zlib data, jlink --compress=2 and zip-N) is read; any other, such
// as the constant-string sharing of jlink --compress=1 ("compact-cp"), is reported as an error.
//
// Images are not trusted: every offset and size is checked before it is used, and a damaged or
// truncated image gives a JavaImageError that names the file and the fault, never a crash. An
// open image keeps its index in memory and its file open; resources are read on demand. Open
// images are immutable and may be used by several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class JavaImageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class JavaImage {
 public:
  struct Location {
    std::string module;
    std::string parent;
    std::string base;
    std::string extension;
    std::uint64_t offset = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t size = 0;
    // "/module/parent/base.extension", each part and its separator left out when empty.
    std::string name() const;
  };

  // Opens an image and checks its header and index. Throws JavaImageError.
  static std::shared_ptr<const JavaImage> open(const std::string& path);
  ~JavaImage();
  JavaImage(const JavaImage&) = delete;
  JavaImage& operator=(const JavaImage&) = delete;

  const std::string& path() const { return m_path; }
  std::uint32_t resourceCount() const { return m_tableLength; }

  // The location of a resource by its full name; false when the image has none of that name.
  // Throws JavaImageError when the index is damaged.
  bool find(const std::string& name, Location& location) const;
  // Every location in table order. Throws JavaImageError when one is damaged.
  void forEachLocation(const std::function<void(const Location&)>& visit) const;
  // The bytes of a resource, uncompressed. Throws JavaImageError when they cannot be read, are
  // larger than `maxSize`, or are compressed by a decompressor that is not read.
  std::vector<unsigned char> read(const Location& location, std::size_t maxSize) const;

  // The names of the image's modules, sorted.
  std::vector<std::string> moduleNames() const;
  // The module that holds the classes of a package ('/'- or '.'-separated); empty when none does.
  std::string moduleOfPackage(const std::string& package) const;
  // The class entries ("java/lang/String.class") of one module, or of all when `module` is
  // empty, in table order.
  std::vector<std::string> classEntries(const std::string& module) const;
  // The bytes of a class by its '/'-separated name, from `module` or, when that is empty, from
  // the module that holds its package. False when the image has no such class.
  bool readClass(const std::string& className, const std::string& module, std::size_t maxSize,
                 std::vector<unsigned char>& bytes) const;

  // Images opened once and kept, as long as their file keeps its size and modification time.
  // Null when the image cannot be opened: `error` then tells why, and `firstFailure` whether
  // this is the first time that this file, as it is now, failed (so that callers report it
  // once).
  static std::shared_ptr<const JavaImage> cached(const std::string& path, std::string* error = nullptr,
                                                 bool* firstFailure = nullptr);
  static void clearCache();

 private:
  JavaImage() = default;
  std::uint32_t u4(const unsigned char* at) const;
  std::uint64_t u8(const unsigned char* at) const;
  Location decode(std::uint32_t offset) const;
  std::string text(std::uint64_t offset) const;
  [[noreturn]] void fail(const std::string& what) const;
  std::vector<unsigned char> inflateLayers(std::vector<unsigned char> data, const std::string& name,
                                           std::size_t maxSize) const;

  std::string m_path;
  int m_fd = -1;
  bool m_bigEndian = false;
  std::uint64_t m_fileSize = 0;
  std::uint32_t m_tableLength = 0;
  std::uint64_t m_indexSize = 0;
  std::vector<unsigned char> m_index;  // header, tables, attributes and strings
  const unsigned char* m_redirects = nullptr;
  const unsigned char* m_offsets = nullptr;
  const unsigned char* m_attributes = nullptr;
  std::uint32_t m_attributesSize = 0;
  const unsigned char* m_strings = nullptr;
  std::uint32_t m_stringsSize = 0;
};

// Whether a module path names a Java image ("<jdk>/lib/modules") or one module of it
// ("<jdk>/lib/modules/java.base"): the image is a regular file named "modules". Sets the image's
// path and the module's name (empty for the whole image).
bool splitImageModule(const std::string& path, std::string& imagePath, std::string& moduleName);

// The class library of a JDK home as the home has it: every jmods/*.jmod (sorted) when there are
// any, else its image lib/modules, given whole or, with `perModule`, as one path per module of it
// ("<home>/lib/modules/java.base"). Empty when the home has neither.
std::vector<std::string> jdkClassLibrary(const std::string& home, bool perModule);
