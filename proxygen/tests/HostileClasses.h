// Class files whose names no Java compiler writes: line breaks, quotes, backslashes, trigraphs,
// comment ends and non-ASCII letters in class, package, field and method names. Made byte by byte
// by a small class-file maker; names are given as class files hold them (modified UTF-8).
//
//   loadableHostileClass()   names the VM accepts (it loads and verifies the class): the proxy of
//                            it is called under -Xcheck:jni by the end-to-end test
//   compileOnlyHostileClass() names the VM refuses as well ('/' and ';' in member names): its
//                            proxy is only compiled
#pragma once

#include "TestSupport.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace hostile {

const uint16_t kPublic = 0x0001;
const uint16_t kStatic = 0x0008;
const uint16_t kFinal = 0x0010;
const uint16_t kSuper = 0x0020;

// A class file of straight-line methods (no branches, so no stack map is needed).
class ClassFileMaker {
 public:
  explicit ClassFileMaker(const std::string& name, const std::string& super = "java/lang/Object")
      : m_name(name), m_super(super) {
    m_this = classRef(name);
    m_superRef = classRef(super);
  }

  // A field; a static final int gets a ConstantValue attribute with `value`.
  void field(uint16_t flags, const std::string& name, const std::string& descriptor, int32_t value = 0) {
    Member f{flags, utf8(name), utf8(descriptor), {}};
    if ((flags & kStatic) && (flags & kFinal) && descriptor == "I") {
      const uint16_t constant = integer(value);
      append2(f.attributes, utf8("ConstantValue"));
      append4(f.attributes, 2);
      append2(f.attributes, constant);
    }
    m_fields.push_back(f);
  }

  // A method with the given code (max stack 4; max locals from the descriptor's arguments + 1).
  void method(uint16_t flags, const std::string& name, const std::string& descriptor, const std::vector<uint8_t>& code,
              uint16_t maxLocals = 4) {
    Member m{flags, utf8(name), utf8(descriptor), {}};
    append2(m.attributes, utf8("Code"));
    append4(m.attributes, static_cast<uint32_t>(12 + code.size()));
    append2(m.attributes, 4);
    append2(m.attributes, maxLocals);
    append4(m.attributes, static_cast<uint32_t>(code.size()));
    m.attributes.insert(m.attributes.end(), code.begin(), code.end());
    append2(m.attributes, 0);  // exception table
    append2(m.attributes, 0);  // attributes
    m_methods.push_back(m);
  }

  // Code: the default constructor's body.
  std::vector<uint8_t> superConstructor() {
    const uint16_t init = methodRef(m_super, "<init>", "()V");
    return {0x2a, 0xb7, hi(init), lo(init), 0xb1};  // aload_0 invokespecial return
  }
  // Code: return a small int constant.
  static std::vector<uint8_t> returnInt(int8_t value) { return {0x10, static_cast<uint8_t>(value), 0xac}; }
  // Code: return the first (reference) argument of a static method.
  static std::vector<uint8_t> returnFirstArgument() { return {0x2a, 0xb0}; }  // aload_0 areturn
  // Code: return a new object of this class.
  std::vector<uint8_t> returnNewThis() {
    const uint16_t init = methodRef(m_name, "<init>", "()V");
    return {0xbb, hi(m_this), lo(m_this), 0x59, 0xb7, hi(init), lo(init), 0xb0};  // new dup invokespecial areturn
  }

  std::vector<uint8_t> bytes() const {
    std::vector<uint8_t> out;
    append4(out, 0xCAFEBABE);
    append2(out, 0);
    append2(out, 52);
    append2(out, static_cast<uint16_t>(m_poolCount));
    out.insert(out.end(), m_pool.begin(), m_pool.end());
    append2(out, kPublic | kSuper);
    append2(out, m_this);
    append2(out, m_superRef);
    append2(out, 0);  // interfaces
    for (const std::vector<Member>* members : {&m_fields, &m_methods}) {
      append2(out, static_cast<uint16_t>(members->size()));
      for (const Member& m : *members) {
        append2(out, m.flags);
        append2(out, m.name);
        append2(out, m.descriptor);
        append2(out, m.attributes.empty() ? 0 : 1);
        out.insert(out.end(), m.attributes.begin(), m.attributes.end());
      }
    }
    append2(out, 0);  // class attributes
    return out;
  }

  const std::string& name() const { return m_name; }

 private:
  struct Member {
    uint16_t flags;
    uint16_t name;
    uint16_t descriptor;
    std::vector<uint8_t> attributes;  // at most one, whole
  };

  static uint8_t hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }
  static uint8_t lo(uint16_t v) { return static_cast<uint8_t>(v & 0xFF); }
  static void append2(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(hi(v));
    out.push_back(lo(v));
  }
  static void append4(std::vector<uint8_t>& out, uint32_t v) {
    append2(out, static_cast<uint16_t>(v >> 16));
    append2(out, static_cast<uint16_t>(v & 0xFFFF));
  }

  uint16_t entry(const std::vector<uint8_t>& bytes) {
    auto it = m_entries.find(bytes);
    if (it != m_entries.end()) return it->second;
    m_pool.insert(m_pool.end(), bytes.begin(), bytes.end());
    return m_entries[bytes] = static_cast<uint16_t>(m_poolCount++);
  }
  uint16_t utf8(const std::string& text) {
    std::vector<uint8_t> bytes = {1};
    append2(bytes, static_cast<uint16_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    return entry(bytes);
  }
  uint16_t integer(int32_t value) {
    std::vector<uint8_t> bytes = {3};
    append4(bytes, static_cast<uint32_t>(value));
    return entry(bytes);
  }
  uint16_t twoIndices(uint8_t tag, uint16_t a, uint16_t b) {
    std::vector<uint8_t> bytes = {tag};
    append2(bytes, a);
    append2(bytes, b);
    return entry(bytes);
  }
  uint16_t classRef(const std::string& name) {
    std::vector<uint8_t> bytes = {7};
    append2(bytes, utf8(name));
    return entry(bytes);
  }
  uint16_t methodRef(const std::string& owner, const std::string& name, const std::string& descriptor) {
    return twoIndices(10, classRef(owner), twoIndices(12, utf8(name), utf8(descriptor)));
  }

  std::string m_name;
  std::string m_super;
  uint16_t m_this = 0;
  uint16_t m_superRef = 0;
  std::vector<uint8_t> m_pool;
  std::size_t m_poolCount = 1;
  std::map<std::vector<uint8_t>, uint16_t> m_entries;
  std::vector<Member> m_fields;
  std::vector<Member> m_methods;
};

// The names of the loadable class, as its class file holds them.
const std::string kLoadableClass = "hostile/tri?\?/Odd\"Name";       // a trigraph in the class literal
const std::string kQuotedConstant = "say\"hi";                       // static final int 7
const std::string kBackslashField = "back\\slash";                   // static int
const std::string kLineBreakField = "line\nbreak";                   // instance int
const std::string kInjectingMethod = "f()\n#error injected\nint g";  // static int, returns 1
const std::string kNonAsciiMethod =
    "gr\xc3\xb6\xc3\x9f"
    "e";                                                               // instance int, returns 2
const std::string kSupplementaryMethod = "x\xed\xa0\xb5\xed\xb1\xa5";  // static String echo
const std::string kFactoryMethod = "new\\\n";                          // static, returns a new object

inline ClassFileMaker loadableHostileClass() {
  ClassFileMaker c(kLoadableClass);
  c.field(kPublic | kStatic | kFinal, kQuotedConstant, "I", 7);
  c.field(kPublic | kStatic, kBackslashField, "I");
  c.field(kPublic, kLineBreakField, "I");
  c.method(kPublic, "<init>", "()V", c.superConstructor(), 1);
  c.method(kPublic | kStatic, kInjectingMethod, "()I", ClassFileMaker::returnInt(1), 0);
  c.method(kPublic, kNonAsciiMethod, "()I", ClassFileMaker::returnInt(2), 1);
  c.method(kPublic | kStatic, kSupplementaryMethod, "(Ljava/lang/String;)Ljava/lang/String;",
           ClassFileMaker::returnFirstArgument(), 1);
  c.method(kPublic | kStatic, kFactoryMethod, "()L" + kLoadableClass + ";", c.returnNewThis(), 0);
  return c;
}

// Names only the generator reads: comment ends, '/', ';', '[' and '.' in member names, a leading
// digit, keywords, and a class whose name ends in a backslash (a line splice in a comment).
inline ClassFileMaker compileOnlyHostileClass() {
  ClassFileMaker c("hostile/end*/Bad\"Name\\");
  c.field(kPublic | kStatic | kFinal, "end*/ int x; /*", "I", 3);
  c.field(kPublic | kStatic, "a;b[c.d", "Lhostile/end*/Bad\"Name\\;");
  c.field(kPublic, "1st", "[Lhostile/tri?\?/Odd\"Name;");
  c.method(kPublic, "<init>", "()V", c.superConstructor(), 1);
  c.method(kPublic | kStatic, "*/ #define x", "()I", ClassFileMaker::returnInt(1), 0);
  c.method(kPublic | kStatic, "delete", "(Lhostile/tri?\?/Odd\"Name;)I", ClassFileMaker::returnInt(1), 1);
  c.method(kPublic | kStatic, "\\", "()I", ClassFileMaker::returnInt(1), 0);
  return c;
}

// Writes the class file of `maker` under `folder`, where a class folder module finds it.
inline void writeClass(const std::string& folder, const ClassFileMaker& maker) {
  const std::vector<uint8_t> bytes = maker.bytes();
  kavrin_test::writeFile(folder + "/" + maker.name() + ".class", bytes.data(), bytes.size());
}

}  // namespace hostile
