#include "JavaImage.h"

#include "Win32.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <set>

namespace {

constexpr std::uint32_t kImageMagic = 0xCAFEDADAu;
constexpr std::uint32_t kCompressedMagic = 0xCAFEFAFAu;
constexpr std::uint32_t kHeaderSize = 7 * 4;
constexpr std::size_t kCompressionHeaderSize = 4 + 8 + 8 + 4 + 4 + 1;
constexpr std::uint16_t kMajorVersion = 1;
constexpr std::int32_t kHashSeed = 0x01000193;
// Compression layers of one resource that are undone at most.
constexpr int kMaxLayers = 8;
// Largest index (tables, attributes and strings) that is read; JDK 25's is about 1.5 MiB.
constexpr std::uint64_t kMaxIndexSize = 256u * 1024u * 1024u;
// Largest package entry of the pseudo module "packages" that is read.
constexpr std::size_t kMaxPackageEntry = 64u * 1024u;

enum Attribute { kEnd, kModule, kParent, kBase, kExtension, kOffset, kCompressed, kUncompressed, kAttributeCount };

std::int32_t hashCode(const std::string& name, std::int32_t seed) {
  std::uint32_t hash = static_cast<std::uint32_t>(seed);
  for (unsigned char c : name) hash = (hash * static_cast<std::uint32_t>(kHashSeed)) ^ c;
  return static_cast<std::int32_t>(hash & 0x7FFFFFFFu);
}

std::uint32_t fromBytes(const unsigned char* at, bool bigEndian) {
  return bigEndian ? (std::uint32_t(at[0]) << 24) | (std::uint32_t(at[1]) << 16) | (std::uint32_t(at[2]) << 8) | at[3]
                   : (std::uint32_t(at[3]) << 24) | (std::uint32_t(at[2]) << 16) | (std::uint32_t(at[1]) << 8) | at[0];
}

// Reads exactly `size` bytes at `offset`; false on an error or at the end of the file.
bool readAt(int fd, std::uint64_t offset, unsigned char* into, std::size_t size) {
  while (size > 0) {
    const ssize_t got = pread(fd, into, size, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    into += got;
    size -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
  return true;
}

bool isRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string lastName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isPseudoModule(const std::string& module) { return module.empty() || module == "modules" || module == "packages"; }

// --- The cache of open images -------------------------------------------------------------------
struct CachedImage {
  bool found = false;
  off_t size = 0;
  struct timespec mtime = {0, 0};
  std::shared_ptr<const JavaImage> image;
  std::string error;
};

std::mutex& cacheLock() {
  static std::mutex lock;
  return lock;
}

std::map<std::string, CachedImage>& imageCache() {
  static std::map<std::string, CachedImage> images;
  return images;
}

}  // namespace

std::string JavaImage::Location::name() const {
  std::string full;
  if (!module.empty()) full += "/" + module + "/";
  if (!parent.empty()) full += parent + "/";
  full += base;
  if (!extension.empty()) full += "." + extension;
  return full;
}

std::shared_ptr<const JavaImage> JavaImage::open(const std::string& path) {
  std::shared_ptr<JavaImage> image(new JavaImage());
  image->m_path = path;
  image->m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (image->m_fd < 0) image->fail(std::strerror(errno));
  struct stat st;
  if (fstat(image->m_fd, &st) != 0 || !S_ISREG(st.st_mode)) image->fail("not a regular file");
  image->m_fileSize = static_cast<std::uint64_t>(st.st_size);

  unsigned char header[kHeaderSize];
  if (image->m_fileSize < kHeaderSize || !readAt(image->m_fd, 0, header, kHeaderSize))
    image->fail("truncated: the file is shorter than the image header");
  if (fromBytes(header, false) == kImageMagic)
    image->m_bigEndian = false;
  else if (fromBytes(header, true) == kImageMagic)
    image->m_bigEndian = true;
  else
    image->fail("not a Java image (no magic number 0xCAFEDADA)");
  const std::uint32_t version = image->u4(header + 4);
  if ((version >> 16) != kMajorVersion)
    image->fail("version " + std::to_string(version >> 16) + "." + std::to_string(version & 0xFFFF) +
                " is not read (only version 1)");
  image->m_tableLength = image->u4(header + 16);
  image->m_attributesSize = image->u4(header + 20);
  image->m_stringsSize = image->u4(header + 24);
  const std::uint64_t indexSize = std::uint64_t(kHeaderSize) + 8u * std::uint64_t(image->m_tableLength) +
                                  image->m_attributesSize + image->m_stringsSize;
  if (indexSize > image->m_fileSize)
    image->fail("truncated: the index needs " + std::to_string(indexSize) + " bytes, the file has " +
                std::to_string(image->m_fileSize));
  if (indexSize > kMaxIndexSize)
    image->fail("the index of " + std::to_string(indexSize) + " bytes is larger than any image's");
  try {
    image->m_index.assign(static_cast<std::size_t>(indexSize), 0);
  } catch (const std::bad_alloc&) {
    image->fail("no memory for the index");
  }
  if (!readAt(image->m_fd, 0, image->m_index.data(), image->m_index.size())) image->fail("the index cannot be read");
  image->m_indexSize = indexSize;
  const unsigned char* base = image->m_index.data();
  image->m_redirects = base + kHeaderSize;
  image->m_offsets = image->m_redirects + 4u * std::size_t(image->m_tableLength);
  image->m_attributes = image->m_offsets + 4u * std::size_t(image->m_tableLength);
  image->m_strings = image->m_attributes + image->m_attributesSize;
  return image;
}

JavaImage::~JavaImage() {
  if (m_fd >= 0) ::close(m_fd);
}

void JavaImage::fail(const std::string& what) const {
  throw JavaImageError("Cannot read the Java image " + m_path + ": " + what);
}

std::uint32_t JavaImage::u4(const unsigned char* at) const { return fromBytes(at, m_bigEndian); }

std::uint64_t JavaImage::u8(const unsigned char* at) const {
  const std::uint64_t first = u4(at);
  const std::uint64_t second = u4(at + 4);
  return m_bigEndian ? (first << 32) | second : (second << 32) | first;
}

std::string JavaImage::text(std::uint64_t offset) const {
  if (offset >= m_stringsSize) fail("a string offset lies outside the string table");
  const unsigned char* start = m_strings + offset;
  const void* end = std::memchr(start, 0, m_stringsSize - static_cast<std::size_t>(offset));
  if (end == nullptr) fail("a string runs past the end of the string table");
  return std::string(reinterpret_cast<const char*>(start), static_cast<const unsigned char*>(end) - start);
}

JavaImage::Location JavaImage::decode(std::uint32_t offset) const {
  if (offset >= m_attributesSize) fail("a location lies outside the attribute table");
  std::uint64_t values[kAttributeCount] = {};
  const unsigned char* at = m_attributes + offset;
  const unsigned char* const end = m_attributes + m_attributesSize;
  for (;;) {
    if (at >= end) fail("a location runs past the end of the attribute table");
    const unsigned kind = *at >> 3;
    if (kind == kEnd) break;
    if (kind >= kAttributeCount) fail("a location has an attribute of unknown kind " + std::to_string(kind));
    const std::size_t length = (*at & 7u) + 1u;
    if (static_cast<std::size_t>(end - at) < 1 + length) fail("a location runs past the end of the attribute table");
    std::uint64_t value = 0;
    for (std::size_t i = 1; i <= length; ++i) value = (value << 8) | at[i];
    values[kind] = value;
    at += 1 + length;
  }
  Location location;
  location.module = text(values[kModule]);
  location.parent = text(values[kParent]);
  location.base = text(values[kBase]);
  location.extension = text(values[kExtension]);
  location.offset = values[kOffset];
  location.compressedSize = values[kCompressed];
  location.size = values[kUncompressed];
  return location;
}

bool JavaImage::find(const std::string& name, Location& location) const {
  if (m_tableLength == 0) return false;
  const std::uint32_t length = m_tableLength;
  std::uint32_t index = static_cast<std::uint32_t>(hashCode(name, kHashSeed)) % length;
  const std::int32_t redirect = static_cast<std::int32_t>(u4(m_redirects + 4u * std::size_t(index)));
  if (redirect < 0)
    index = static_cast<std::uint32_t>(-1 - static_cast<std::int64_t>(redirect));
  else if (redirect > 0)
    index = static_cast<std::uint32_t>(hashCode(name, redirect)) % length;
  else
    return false;
  if (index >= length) fail("a redirect entry points outside the offsets table");
  Location found = decode(u4(m_offsets + 4u * std::size_t(index)));
  if (found.name() != name) return false;
  location = std::move(found);
  return true;
}

void JavaImage::forEachLocation(const std::function<void(const Location&)>& visit) const {
  for (std::uint32_t i = 0; i < m_tableLength; ++i) visit(decode(u4(m_offsets + 4u * std::size_t(i))));
}

std::vector<unsigned char> JavaImage::read(const Location& location, std::size_t maxSize) const {
  const std::string name = location.name();
  const std::uint64_t stored = location.compressedSize != 0 ? location.compressedSize : location.size;
  if (location.size > maxSize || stored > maxSize) fail(name + " is larger than " + std::to_string(maxSize) + " bytes");
  const std::uint64_t resources = m_fileSize - m_indexSize;
  if (location.offset > resources || stored > resources - location.offset)
    fail("truncated: " + name + " lies past the end of the file");
  std::vector<unsigned char> bytes;
  try {
    bytes.assign(static_cast<std::size_t>(stored), 0);
  } catch (const std::bad_alloc&) {
    fail("no memory for " + name);
  }
  if (!readAt(m_fd, m_indexSize + location.offset, bytes.data(), bytes.size())) fail(name + " cannot be read");
  if (location.compressedSize != 0) {
    if (bytes.size() < 4 || u4(bytes.data()) != kCompressedMagic)
      fail(name + " is marked compressed but has no compression header");
    bytes = inflateLayers(std::move(bytes), name, maxSize);
  }
  if (bytes.size() != location.size) fail(name + " does not have the size its location gives");
  return bytes;
}

std::vector<unsigned char> JavaImage::inflateLayers(std::vector<unsigned char> data, const std::string& name,
                                                    std::size_t maxSize) const {
  for (int layer = 0; data.size() >= 4 && u4(data.data()) == kCompressedMagic; ++layer) {
    if (layer == kMaxLayers) fail(name + " has more than " + std::to_string(kMaxLayers) + " compression layers");
    if (data.size() < kCompressionHeaderSize) fail(name + ": its compression header is cut short");
    const std::uint64_t compressed = u8(data.data() + 4);
    const std::uint64_t size = u8(data.data() + 12);
    const std::string decompressor = text(u4(data.data() + 20));
    if (compressed != data.size() - kCompressionHeaderSize)
      fail(name + ": its compressed size does not match its compression header");
    if (size > maxSize || compressed > UINT_MAX) fail(name + " is larger than " + std::to_string(maxSize) + " bytes");
    if (decompressor != "zip")
      fail(name + " is compressed with \"" + decompressor + "\", which is not read (only \"zip\" compression is)");
    std::vector<unsigned char> out;
    try {
      out.assign(static_cast<std::size_t>(size), 0);
    } catch (const std::bad_alloc&) {
      fail("no memory for " + name);
    }
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit(&stream) != Z_OK) fail("the decompressor cannot start for " + name);
    unsigned char none = 0;
    stream.next_in = data.data() + kCompressionHeaderSize;
    stream.avail_in = static_cast<uInt>(compressed);
    stream.next_out = out.empty() ? &none : out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&stream, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && stream.total_out == size && stream.avail_in == 0;
    inflateEnd(&stream);
    if (!whole) fail(name + ": its compressed bytes are damaged");
    data.swap(out);
  }
  return data;
}

std::vector<std::string> JavaImage::moduleNames() const {
  std::set<std::string> names;
  forEachLocation([&](const Location& location) {
    if (!isPseudoModule(location.module)) names.insert(location.module);
  });
  return std::vector<std::string>(names.begin(), names.end());
}

std::string JavaImage::moduleOfPackage(const std::string& package) const {
  std::string dotted = package;
  for (char& c : dotted)
    if (c == '/') c = '.';
  Location location;
  if (dotted.empty() || !find("/packages/" + dotted, location)) return std::string();
  const std::vector<unsigned char> entry = read(location, kMaxPackageEntry);
  if (entry.size() % 8 != 0) fail("the package entry of " + dotted + " is damaged");
  for (std::size_t at = 0; at < entry.size(); at += 8)
    if (u4(entry.data() + at) == 0) return text(u4(entry.data() + at + 4));
  return std::string();
}

std::vector<std::string> JavaImage::classEntries(const std::string& module) const {
  std::vector<std::string> entries;
  forEachLocation([&](const Location& location) {
    if (location.extension != "class" || isPseudoModule(location.module)) return;
    if (!module.empty() && location.module != module) return;
    entries.push_back((location.parent.empty() ? std::string() : location.parent + "/") + location.base + ".class");
  });
  return entries;
}

bool JavaImage::readClass(const std::string& className, const std::string& module, std::size_t maxSize,
                          std::vector<unsigned char>& bytes) const {
  std::string holder = module;
  if (holder.empty()) {
    const std::size_t slash = className.rfind('/');
    if (slash == std::string::npos) return false;  // a named module has no class outside a package
    holder = moduleOfPackage(className.substr(0, slash));
    if (holder.empty()) return false;
  }
  Location location;
  if (!find("/" + holder + "/" + className + ".class", location)) return false;
  bytes = read(location, maxSize);
  return true;
}

std::shared_ptr<const JavaImage> JavaImage::cached(const std::string& path, std::string* error, bool* firstFailure) {
  if (firstFailure) *firstFailure = false;
  struct stat st;
  const bool found = stat(path.c_str(), &st) == 0;
  std::lock_guard<std::mutex> hold(cacheLock());
  auto& images = imageCache();
  auto it = images.find(path);
  const bool same = it != images.end() && it->second.found == found &&
                    (!found || (it->second.size == st.st_size && it->second.mtime.tv_sec == st.st_mtim.tv_sec &&
                                it->second.mtime.tv_nsec == st.st_mtim.tv_nsec));
  if (!same) {
    CachedImage entry;
    entry.found = found;
    if (found) {
      entry.size = st.st_size;
      entry.mtime = st.st_mtim;
    }
    try {
      entry.image = open(path);
    } catch (const JavaImageError& e) {
      entry.error = e.what();
    }
    if (!entry.image && firstFailure) *firstFailure = true;
    it = images.insert_or_assign(path, std::move(entry)).first;
  }
  if (error) *error = it->second.error;
  return it->second.image;
}

void JavaImage::clearCache() {
  std::lock_guard<std::mutex> hold(cacheLock());
  imageCache().clear();
}

bool splitImageModule(const std::string& path, std::string& imagePath, std::string& moduleName) {
  if (lastName(path) == "modules" && isRegularFile(path)) {
    imagePath = path;
    moduleName.clear();
    return true;
  }
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 == path.size()) return false;
  const std::string parent = path.substr(0, slash);
  if (lastName(parent) != "modules" || !isRegularFile(parent)) return false;
  imagePath = parent;
  moduleName = path.substr(slash + 1);
  return true;
}

std::vector<std::string> jdkClassLibrary(const std::string& home, bool perModule) {
  std::vector<std::string> library;
  if (home.empty()) return library;
  const std::string jmods = home + "/jmods";
  for (const std::string& name : win32::listFolder(jmods, ".jmod")) {
    const std::string full = jmods + "/" + name;
    if (!win32::isDirectory(full)) library.push_back(full);
  }
  if (!library.empty()) return library;

  const std::string image = home + "/lib/modules";
  if (!isRegularFile(image)) return library;
  if (perModule) {
    if (std::shared_ptr<const JavaImage> opened = JavaImage::cached(image)) {
      try {
        for (const std::string& module : opened->moduleNames()) library.push_back(image + "/" + module);
      } catch (const JavaImageError&) {
        library.clear();  // a damaged index: the image whole, which reports it where it is read
      }
    }
  }
  if (library.empty()) library.push_back(image);
  return library;
}
