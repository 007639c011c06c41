// Writes small Java images (the lib/modules format, JavaImage.h) as seeds of the image fuzz
// target: the class files given on the command line as module java.base, with the package
// entries that find a class's module, one class zip-compressed and the others stored; once in
// little-endian and once in big-endian byte order.
//   ImageSeeds OUT_FOLDER CLASS_ROOT CLASS...     (CLASS: "java/lang/Object", under CLASS_ROOT)
// Exit status 1 when a class cannot be read or an image cannot be written.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

std::int32_t hashCode(const std::string& name, std::int32_t seed) {
  std::uint32_t hash = static_cast<std::uint32_t>(seed);
  for (unsigned char c : name) hash = (hash * 0x01000193u) ^ c;
  return static_cast<std::int32_t>(hash & 0x7FFFFFFFu);
}

class ImageWriter {
 public:
  explicit ImageWriter(bool bigEndian) : m_bigEndian(bigEndian) { m_strings.push_back(0); }

  // A resource "/module/parent/base.extension" with its bytes, zip-compressed or stored.
  void add(const std::string& module, const std::string& parent, const std::string& base, const std::string& extension,
           const Bytes& content, bool compress) {
    Resource r;
    r.name =
        "/" + module + (parent.empty() ? "" : "/" + parent) + "/" + base + (extension.empty() ? "" : "." + extension);
    r.location.push_back({1, text(module)});
    if (!parent.empty()) r.location.push_back({2, text(parent)});
    r.location.push_back({3, text(base)});
    if (!extension.empty()) r.location.push_back({4, text(extension)});
    Bytes stored = content;
    if (compress) {
      uLongf size = compressBound(static_cast<uLong>(content.size()));
      Bytes packed(size);
      compress2(packed.data(), &size, content.data(), static_cast<uLong>(content.size()), 9);
      packed.resize(size);
      stored.clear();
      u4(stored, 0xCAFEFAFAu);
      u8(stored, packed.size());
      u8(stored, content.size());
      u4(stored, text("zip"));
      u4(stored, 0);
      stored.push_back(1);
      stored.insert(stored.end(), packed.begin(), packed.end());
      r.location.push_back({6, stored.size()});
    }
    r.location.push_back({5, m_resources.size()});
    r.location.push_back({7, content.size()});
    m_resources.insert(m_resources.end(), stored.begin(), stored.end());
    m_entries.push_back(r);
  }

  // The offset of a text in the strings, added when new.
  std::uint32_t text(const std::string& s) {
    const auto found = m_textOffsets.find(s);
    if (found != m_textOffsets.end()) return found->second;
    const std::uint32_t at = static_cast<std::uint32_t>(m_strings.size());
    m_strings.insert(m_strings.end(), s.begin(), s.end());
    m_strings.push_back(0);
    m_textOffsets[s] = at;
    return at;
  }

  // The package entry's bytes: the package is held by `module` (not empty).
  Bytes packageEntry(const std::string& module) {
    Bytes b;
    u4(b, 0);
    u4(b, text(module));
    return b;
  }

  Bytes build() {
    const std::uint32_t n = static_cast<std::uint32_t>(m_entries.size());
    // Perfect hash: buckets by the first hash; a bucket of several names gets a seed that
    // spreads them over free slots, a single name takes a free slot directly.
    std::map<std::uint32_t, std::vector<std::size_t>> buckets;
    for (std::size_t i = 0; i < n; ++i)
      buckets[static_cast<std::uint32_t>(hashCode(m_entries[i].name, 0x01000193)) % n].push_back(i);
    std::vector<std::int32_t> redirects(n, 0);
    std::vector<long> slotOf(n, -1);
    std::vector<bool> taken(n, false);
    std::vector<std::pair<std::uint32_t, std::vector<std::size_t>>> order(buckets.begin(), buckets.end());
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
    for (const auto& bucket : order) {
      if (bucket.second.size() == 1) continue;
      for (std::int32_t seed = 1;; ++seed) {
        std::vector<std::uint32_t> slots;
        bool fits = true;
        for (std::size_t i : bucket.second) {
          const std::uint32_t slot = static_cast<std::uint32_t>(hashCode(m_entries[i].name, seed)) % n;
          if (taken[slot] || std::find(slots.begin(), slots.end(), slot) != slots.end()) {
            fits = false;
            break;
          }
          slots.push_back(slot);
        }
        if (!fits) continue;
        for (std::size_t k = 0; k < slots.size(); ++k) {
          taken[slots[k]] = true;
          slotOf[bucket.second[k]] = slots[k];
        }
        redirects[bucket.first] = seed;
        break;
      }
    }
    std::uint32_t free = 0;
    for (const auto& bucket : order) {
      if (bucket.second.size() != 1) continue;
      while (taken[free]) ++free;
      taken[free] = true;
      slotOf[bucket.second[0]] = free;
      redirects[bucket.first] = -1 - static_cast<std::int32_t>(free);
    }

    Bytes attributes;
    std::vector<std::uint32_t> offsets(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
      offsets[static_cast<std::size_t>(slotOf[i])] = static_cast<std::uint32_t>(attributes.size());
      for (const auto& attribute : m_entries[i].location) {
        int length = 1;
        while (length < 8 && (attribute.second >> (8 * length)) != 0) ++length;
        attributes.push_back(static_cast<unsigned char>(attribute.first << 3 | (length - 1)));
        for (int k = length - 1; k >= 0; --k)
          attributes.push_back(static_cast<unsigned char>(attribute.second >> (8 * k)));
      }
      attributes.push_back(0);
    }

    Bytes image;
    for (std::uint32_t v : {0xCAFEDADAu, 1u << 16, 0u, n, n, static_cast<std::uint32_t>(attributes.size()),
                            static_cast<std::uint32_t>(m_strings.size())})
      u4(image, v);
    for (std::int32_t r : redirects) u4(image, static_cast<std::uint32_t>(r));
    for (std::uint32_t o : offsets) u4(image, o);
    image.insert(image.end(), attributes.begin(), attributes.end());
    image.insert(image.end(), m_strings.begin(), m_strings.end());
    image.insert(image.end(), m_resources.begin(), m_resources.end());
    return image;
  }

 private:
  struct Resource {
    std::string name;
    std::vector<std::pair<int, std::uint64_t>> location;
  };

  void u4(Bytes& b, std::uint32_t v) const {
    for (int k = 0; k < 4; ++k) b.push_back(static_cast<unsigned char>(v >> (m_bigEndian ? 8 * (3 - k) : 8 * k)));
  }
  void u8(Bytes& b, std::uint64_t v) const {
    for (int k = 0; k < 8; ++k) b.push_back(static_cast<unsigned char>(v >> (m_bigEndian ? 8 * (7 - k) : 8 * k)));
  }

  bool m_bigEndian;
  std::vector<Resource> m_entries;
  Bytes m_strings;
  std::map<std::string, std::uint32_t> m_textOffsets;
  Bytes m_resources;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s OUT_FOLDER CLASS_ROOT CLASS...\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  std::map<std::string, Bytes> classes;
  for (int i = 3; i < argc; ++i) {
    std::ifstream in(std::string(argv[2]) + "/" + argv[i] + ".class", std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || bytes.empty()) {
      std::fprintf(stderr, "cannot read the class %s\n", argv[i]);
      return 1;
    }
    classes[argv[i]] = bytes;
  }
  for (const bool bigEndian : {false, true}) {
    ImageWriter image(bigEndian);
    std::map<std::string, bool> packages;
    bool first = true;
    for (const auto& c : classes) {
      const std::size_t slash = c.first.rfind('/');
      const std::string parent = slash == std::string::npos ? std::string() : c.first.substr(0, slash);
      image.add("java.base", parent, c.first.substr(slash + 1), "class", c.second, first);
      first = false;
      if (!parent.empty()) packages[parent] = true;
    }
    for (const auto& p : packages) {
      std::string dotted = p.first;
      for (char& ch : dotted)
        if (ch == '/') ch = '.';
      image.add("packages", "", dotted, "", image.packageEntry("java.base"), false);
    }
    const Bytes bytes = image.build();
    const std::string path = out + (bigEndian ? "/big-endian.jimage" : "/little-endian.jimage");
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
