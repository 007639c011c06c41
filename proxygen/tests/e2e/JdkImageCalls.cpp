// Uses the proxies of java.util.ArrayList, java.lang.Integer and java.lang.System generated from a
// JDK home without jmods (a jlink image), on the VM of that image, which the runtime library finds
// through the registry.
#include "E2eSupport.h"

using namespace CPP_Java_Bridge;

namespace {

using e2e::str;

void image() {
  CHECK_TEXT(java::lang::SystemJNIProxy::getProperty(str("java.home")), E2E_IMAGE_HOME);

  typedef java::lang::IntegerJNIProxy Integer;
  java::util::ArrayListJNIProxy list;
  CHECK_EQ(list.isEmpty(), JNI_TRUE);
  list.add(str("a"));
  list.add(0, str("first"));
  list.add(Integer::valueOf(7));
  CHECK_EQ(list.size(), 3);
  CHECK_TEXT(list.toString(), "[first, a, 7]");
  CHECK_EQ(Integer(list.get(2)).intValue(), 7);
  CHECK_EQ(list.contains(str("a")), JNI_TRUE);
  CHECK_TEXT(list.remove(jint(0)), "first");
  list.ensureCapacity(100);
  list.trimToSize();
  // Members inherited from AbstractList and AbstractCollection, found in the image.
  CHECK_EQ(list.hashCode(), list.hashCode());
  CHECK_TRUE(list.containsAll(java::util::Collection(list)) == JNI_TRUE);
  const std::string outOfRange = e2e::thrownMessage([&] { list.get(10); });
  CHECK_TRUE(e2e::contains(outOfRange, "IndexOutOfBoundsException"));
}

}  // namespace

int main() {
  return e2e::runInVm("image", image, [] {
    jni_helpers::JVM::addOption("-Xcheck:jni");
    jni_helpers::JVM::load();
  });
}
