// The header of a class file up to its interfaces: which class it is and what it extends and
// implements. Every read is bounds-checked; damaged bytes give an error text, never a crash.
#include "RuntimeInternal.h"

#include "Utf8.h"

#include <cstdint>

namespace jni_helpers {
namespace detail {

namespace {

class Reader {
 public:
  Reader(const unsigned char* bytes, std::size_t size) : m_bytes(bytes), m_size(size) {}

  bool skip(std::size_t n) {
    if (n > m_size - m_pos) return false;
    m_pos += n;
    return true;
  }
  bool u1(std::uint8_t& value) {
    if (m_size - m_pos < 1) return false;
    value = m_bytes[m_pos++];
    return true;
  }
  bool u2(std::uint16_t& value) {
    if (m_size - m_pos < 2) return false;
    value = static_cast<std::uint16_t>((m_bytes[m_pos] << 8) | m_bytes[m_pos + 1]);
    m_pos += 2;
    return true;
  }
  bool u4(std::uint32_t& value) {
    if (m_size - m_pos < 4) return false;
    value = (std::uint32_t(m_bytes[m_pos]) << 24) | (std::uint32_t(m_bytes[m_pos + 1]) << 16) |
            (std::uint32_t(m_bytes[m_pos + 2]) << 8) | std::uint32_t(m_bytes[m_pos + 3]);
    m_pos += 4;
    return true;
  }
  std::size_t position() const { return m_pos; }
  const unsigned char* at(std::size_t pos) const { return m_bytes + pos; }

 private:
  const unsigned char* m_bytes;
  std::size_t m_size;
  std::size_t m_pos = 0;
};

// One constant-pool slot as far as the header needs it.
struct Slot {
  std::uint8_t tag = 0;
  std::uint16_t nameIndex = 0;  // CONSTANT_Class
  std::size_t textPos = 0;      // CONSTANT_Utf8
  std::uint16_t textLength = 0;
};

const std::uint8_t kUtf8 = 1;
const std::uint8_t kLong = 5;
const std::uint8_t kDouble = 6;
const std::uint8_t kClass = 7;

// The length after its tag of each constant-pool entry that is passed over, by tag: Integer and
// Float (3, 4), Long and Double (5, 6), String (8), the member references and NameAndType (9 to
// 12), MethodHandle (15), MethodType (16), Dynamic and InvokeDynamic (17, 18), Module and Package
// (19, 20). Utf8 (1) and Class (7) are read; 0 stands for no such tag.
const std::uint8_t kPassedLength[] = {0, 0, 0, 4, 4, 8, 8, 0, 2, 4, 4, 4, 4, 0, 0, 3, 2, 4, 4, 2, 2};

// Modified UTF-8 (the class-file form) to UTF-16: sequences of one to three bytes, by their bit
// patterns; false at any other byte.
bool decodeModifiedUtf8(const unsigned char* p, std::size_t n, std::u16string& out) {
  out.clear();
  const char* text = reinterpret_cast<const char*>(p);
  std::size_t i = 0;
  while (i < n) {
    const kavrin::Utf8Character c = kavrin::decodeUtf8(text, n, i, kavrin::Utf8Form::BitPattern);
    if (!c.valid || c.length > 3) return false;
    kavrin::appendUtf16(out, c.code);
    i += c.length;
  }
  return true;
}

bool fail(std::string& error, const std::string& text) {
  error = text;
  return false;
}

}  // namespace

bool readClassFileBases(const unsigned char* bytes, std::size_t size, ClassFileBases& bases, std::string& error) {
  bases = ClassFileBases();
  if (bytes == nullptr) return fail(error, "no class bytes");
  Reader in(bytes, size);
  std::uint32_t magic = 0;
  if (!in.u4(magic) || magic != 0xCAFEBABEu) return fail(error, "not a class file (no 0xCAFEBABE magic)");
  if (!in.skip(4)) return fail(error, "class file cut short in its version");
  std::uint16_t count = 0;
  if (!in.u2(count) || count == 0) return fail(error, "class file cut short or damaged in its constant pool count");

  std::vector<Slot> pool(count);
  for (std::uint16_t index = 1; index < count; ++index) {
    Slot& slot = pool[index];
    if (!in.u1(slot.tag)) return fail(error, "class file cut short in its constant pool");
    bool ok = true;
    if (slot.tag == kUtf8) {
      ok = in.u2(slot.textLength);
      slot.textPos = in.position();
      ok = ok && in.skip(slot.textLength);
    } else if (slot.tag == kClass) {
      ok = in.u2(slot.nameIndex);
    } else if (slot.tag < sizeof kPassedLength && kPassedLength[slot.tag] != 0) {
      ok = in.skip(kPassedLength[slot.tag]);
      if (slot.tag == kLong || slot.tag == kDouble) ++index;  // the next slot is unusable
    } else {
      return fail(error,
                  "unknown constant pool tag " + std::to_string(slot.tag) + " at entry " + std::to_string(index));
    }
    if (!ok) return fail(error, "class file cut short in its constant pool");
  }

  // The name of the class entry at `index`; an index of 0 gives "" where `zeroAllowed`.
  auto className = [&](std::uint16_t index, bool zeroAllowed, std::u16string& name) {
    if (index == 0 && zeroAllowed) {
      name.clear();
      return true;
    }
    if (index == 0 || index >= count || pool[index].tag != kClass)
      return fail(error, "constant pool entry " + std::to_string(index) + " is not a class");
    const std::uint16_t nameIndex = pool[index].nameIndex;
    if (nameIndex == 0 || nameIndex >= count || pool[nameIndex].tag != kUtf8)
      return fail(error, "constant pool entry " + std::to_string(nameIndex) + " is not a name");
    const Slot& text = pool[nameIndex];
    if (!decodeModifiedUtf8(in.at(text.textPos), text.textLength, name))
      return fail(error, "constant pool entry " + std::to_string(nameIndex) + " is not modified UTF-8");
    return true;
  };

  std::uint16_t access = 0, thisIndex = 0, superIndex = 0, interfaceCount = 0;
  if (!in.u2(access) || !in.u2(thisIndex) || !in.u2(superIndex) || !in.u2(interfaceCount))
    return fail(error, "class file cut short after its constant pool");
  if (!className(thisIndex, false, bases.thisClass) || !className(superIndex, true, bases.superClass)) return false;
  for (std::uint16_t i = 0; i < interfaceCount; ++i) {
    std::uint16_t index = 0;
    if (!in.u2(index)) return fail(error, "class file cut short in its interfaces");
    std::u16string name;
    if (!className(index, false, name)) return false;
    bases.interfaces.push_back(name);
  }
  return true;
}

CSmartString toSmartString(const std::u16string& text) {
  return CSmartString(reinterpret_cast<const unsigned short*>(text.data()), static_cast<unsigned int>(text.size()));
}

}  // namespace detail
}  // namespace jni_helpers
