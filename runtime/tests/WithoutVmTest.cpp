// Parts of the class loader, JNIInterface and AWT interop that must work without a Java VM, and
// the reading of carried class bytes (also run in the sanitizer build).
#include "EmbeddedClasses.h"
#include "JNIInteface.h"
#include "RuntimeInternal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using jni_helpers::_simple_class_loader;
using jni_helpers::CSmartString;
using jni_helpers::JNIInterface;
using jni_helpers::detail::ClassFileBases;
using jni_helpers::detail::readClassFileBases;

namespace jni_helpers {
namespace detail {
extern const unsigned char kLoaderClassBytes[];
extern const unsigned long kLoaderClassBytesSize;
}  // namespace detail
}  // namespace jni_helpers

namespace {

std::string narrow(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

std::vector<unsigned char> bytesOf(const unsigned char* bytes, unsigned long size) {
  return std::vector<unsigned char>(bytes, bytes + size);
}

struct Expected {
  const char* thisClass;
  const char* superClass;
  std::vector<std::string> interfaces;
};

void expectBases(const std::vector<unsigned char>& bytes, const Expected& expected) {
  ClassFileBases bases;
  std::string error;
  ASSERT_TRUE(readClassFileBases(bytes.data(), bytes.size(), bases, error)) << error;
  EXPECT_EQ(narrow(bases.thisClass), expected.thisClass);
  EXPECT_EQ(narrow(bases.superClass), expected.superClass);
  std::vector<std::string> interfaces;
  for (const std::u16string& name : bases.interfaces) interfaces.push_back(narrow(name));
  EXPECT_EQ(interfaces, expected.interfaces);
}

// A small class file written by hand: one Utf8 + Class pair per name, then the header.
class ClassFileText {
 public:
  ClassFileText& u1(unsigned v) {
    bytes.push_back(static_cast<unsigned char>(v));
    return *this;
  }
  ClassFileText& u2(unsigned v) { return u1(v >> 8).u1(v & 0xFF); }
  ClassFileText& u4(std::uint32_t v) { return u2(v >> 16).u2(v & 0xFFFF); }
  ClassFileText& utf8(const std::string& text) {
    u1(1).u2(static_cast<unsigned>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    return *this;
  }
  std::vector<unsigned char> bytes;
};

// this = entry 2 (name `name`), super = entry 4 (java/lang/Object), no interfaces.
std::vector<unsigned char> handMade(const std::string& name, unsigned superIndex = 4) {
  ClassFileText c;
  c.u4(0xCAFEBABE).u2(0).u2(52).u2(5);
  c.utf8(name).u1(7).u2(1).utf8("java/lang/Object").u1(7).u2(3);
  c.u2(0x21).u2(2).u2(superIndex).u2(0);
  return c.bytes;
}

}  // namespace

TEST(CarriedClassBytes, NameWhatTheClassExtendsAndImplements) {
  expectBases(bytesOf(jni_helpers::detail::kLoaderClassBytes, jni_helpers::detail::kLoaderClassBytesSize),
              {"CustClassLdr1234567890", "java/net/URLClassLoader", {}});
  expectBases(bytesOf(runtime_test::kShapeImplementationClass, runtime_test::kShapeImplementationClassSize),
              {"runtimetest/JNIImplementationOfShape", "java/lang/Object", {"runtimetest/Shape"}});
  expectBases(bytesOf(runtime_test::kRunnableImplementationClass, runtime_test::kRunnableImplementationClassSize),
              {"java/lang/JNIImplementationOfRunnable", "java/lang/Object", {"java/lang/Runnable"}});
  expectBases(bytesOf(runtime_test::kCounterDelegatorClass, runtime_test::kCounterDelegatorClassSize),
              {"runtimetest/DelegatorCounter", "runtimetest/Counter", {}});

  // Names in modified UTF-8, an encoded zero unit included; no super class at all.
  std::vector<unsigned char> accented = handMade("pkg/Caf\xC3\xA9\xE2\x82\xAC\xC0\x80", 0);
  ClassFileBases bases;
  std::string error;
  ASSERT_TRUE(readClassFileBases(accented.data(), accented.size(), bases, error)) << error;
  EXPECT_EQ(bases.thisClass, std::u16string(u"pkg/Caf\u00E9\u20AC") + char16_t(0));
  EXPECT_TRUE(bases.superClass.empty());
  EXPECT_EQ(jni_helpers::detail::toSmartString(bases.thisClass).length(), 10u);
}

TEST(CarriedClassBytes, DamagedBytesGiveAReasonAndNeverACrash) {
  const std::vector<unsigned char> good =
      bytesOf(runtime_test::kShapeImplementationClass, runtime_test::kShapeImplementationClassSize);
  ClassFileBases full;
  std::string error;
  ASSERT_TRUE(readClassFileBases(good.data(), good.size(), full, error));

  // Every shorter piece: refused with a reason, or (once the interfaces are read) the same.
  for (std::size_t length = 0; length < good.size(); ++length) {
    const std::vector<unsigned char> piece(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    ClassFileBases bases;
    error.clear();
    if (readClassFileBases(piece.data(), piece.size(), bases, error)) {
      EXPECT_EQ(bases.thisClass, full.thisClass) << length;
      EXPECT_EQ(bases.interfaces, full.interfaces) << length;
    } else {
      EXPECT_FALSE(error.empty()) << length;
    }
  }

  // Every single byte changed in turn, to each of a few values.
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (unsigned char value : {0x00, 0x01, 0x07, 0x7F, 0x80, 0xC0, 0xFF}) {
      std::vector<unsigned char> damaged = good;
      damaged[at] = value;
      ClassFileBases bases;
      error.clear();
      if (!readClassFileBases(damaged.data(), damaged.size(), bases, error)) {
        EXPECT_FALSE(error.empty());
      }
    }
  }

  const std::vector<unsigned char> notAClass = {'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0};
  ClassFileBases bases;
  EXPECT_FALSE(readClassFileBases(notAClass.data(), notAClass.size(), bases, error));
  EXPECT_NE(error.find("magic"), std::string::npos) << error;
  EXPECT_FALSE(readClassFileBases(nullptr, 0, bases, error));

  // References that point at the wrong kind of entry, or past the pool.
  std::vector<unsigned char> wrong = handMade("a/B", 3);  // super names a Utf8 entry
  EXPECT_FALSE(readClassFileBases(wrong.data(), wrong.size(), bases, error));
  EXPECT_NE(error.find("is not a class"), std::string::npos) << error;
  wrong = handMade("a/B", 99);
  EXPECT_FALSE(readClassFileBases(wrong.data(), wrong.size(), bases, error));
  wrong = handMade("a/\xC3");  // a cut two-byte sequence
  EXPECT_FALSE(readClassFileBases(wrong.data(), wrong.size(), bases, error));
  EXPECT_NE(error.find("modified UTF-8"), std::string::npos) << error;
  wrong = handMade("a/B");
  wrong[10] = 2;  // a tag no class file has
  EXPECT_FALSE(readClassFileBases(wrong.data(), wrong.size(), bases, error));
  EXPECT_NE(error.find("unknown constant pool tag 2"), std::string::npos) << error;
}

TEST(ClassLoaderWithoutVm, AnswersWithoutTouchingTheVm) {
  EXPECT_FALSE(_simple_class_loader::isInitialized());
  EXPECT_EQ(_simple_class_loader::getClass("java/lang/String"), nullptr);
  EXPECT_EQ(_simple_class_loader::getLoaderClass(), nullptr);
  EXPECT_EQ(_simple_class_loader::getLoaderObject(), nullptr);
  // Entries given now wait for the loader; separators at the ends and doubled are harmless.
  EXPECT_NO_THROW(_simple_class_loader::addClassPath(";/tmp/a.jar;;/tmp/b:/tmp/a.jar;"));
  EXPECT_NO_THROW(_simple_class_loader::addClassPath(CSmartString()));
  EXPECT_FALSE(_simple_class_loader::isInitialized());
  EXPECT_NO_THROW(_simple_class_loader::deinit());
  EXPECT_FALSE(jni_helpers::JNIEnvHelper::isInitialized());
}

TEST(InterfaceWithoutVm, EmptyObjectsCopyAssignAndGoWithoutJava) {
  JNIInterface first;
  EXPECT_TRUE(first.isNullObject());
  JNIInterface copy(first);
  EXPECT_TRUE(copy.isNullObject());
  JNIInterface assigned;
  assigned = first;
  JNIInterface& alias = assigned;
  assigned = alias;
  EXPECT_TRUE(assigned.isNullObject());
  {
    JNIInterface* heap = new JNIInterface(copy);
    delete heap;
  }
  EXPECT_FALSE(jni_helpers::JNIEnvHelper::isInitialized());
}

TEST(AwtWithoutVm, NoComponentHasNoWindow) {
  EXPECT_EQ(jni_helpers::JNIEnvHelper::getNativeFromComponent(nullptr), 0);
  EXPECT_FALSE(jni_helpers::JNIEnvHelper::isInitialized());
}
