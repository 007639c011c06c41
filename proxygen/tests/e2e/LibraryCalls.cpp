// Calls into the libraries of the whole-library check, through proxies of that one generation:
// commons-lang3, guava and java.base, under -Xcheck:jni. Names that C++ reserves come out escaped
// (the package org.apache.commons.lang3.mutable, ByteOrder's BIG_ENDIAN); static methods of an
// interface are the interface's only.
#include "E2eSupport.h"

#include <cstdio>
#include <type_traits>

namespace {

using jni_helpers::JStringHelper;
namespace jb = CPP_Java_Bridge;

using e2e::str;

// Whether T has a static of(Object) - the static factory of java.util.List.
template <typename T, typename = void>
struct HasOf : std::false_type {};
template <typename T>
struct HasOf<T, decltype(void(T::of(std::declval<jb::java::lang::Object>())))> : std::true_type {};
static_assert(HasOf<jb::java::util::ListJNIProxy>::value, "List.of belongs to List");
static_assert(!HasOf<jb::java::util::ArrayListJNIProxy>::value, "List.of is not a member of ArrayList");

void lang3() {
  typedef jb::org::apache::commons::lang3::StringUtilsJNIProxy StringUtils;
  CHECK_TEXT(StringUtils::capitalize(str("kavrin")), "Kavrin");
  CHECK_TEXT(StringUtils::reverse(str("abc")), "cba");
  CHECK_TRUE(StringUtils::isBlank(jb::java::lang::CharSequence(str("  "))));
  jb::org::apache::commons::lang3::mutable_::MutableIntJNIProxy counter(5);
  counter.increment();
  CHECK_EQ(counter.intValue(), 6);
}

void guava() {
  CHECK_TEXT(jb::com::google::common::base::StringsJNIProxy::repeat(str("ab"), 3), "ababab");
  CHECK_EQ(jb::com::google::common::math::IntMathJNIProxy::gcd(12, 18), 6);
  typedef jb::com::google::common::collect::ImmutableListJNIProxy ImmutableList;
  ImmutableList list(ImmutableList::of(jb::java::lang::Object(str("a")), jb::java::lang::Object(str("b"))));
  CHECK_EQ(list.size(), 2);
  CHECK_TEXT(JStringHelper(list.get(1)), "b");
}

void javaBase() {
  jb::java::util::ArrayListJNIProxy list;
  CHECK_TRUE(list.add(jb::java::lang::Object(str("x"))));
  CHECK_EQ(list.size(), 1);
  jb::java::util::ListJNIProxy copy(jb::java::util::ListJNIProxy::of(jb::java::lang::Object(str("y"))));
  CHECK_EQ(copy.size(), 1);
  CHECK_EQ(jb::java::lang::IntegerJNIProxy::parseInt(str("42")), 42);
  typedef jb::java::nio::ByteOrderJNIProxy ByteOrder;
  CHECK_TEXT(ByteOrder(ByteOrder::get_BIG_ENDIAN_()).toString(), "BIG_ENDIAN");
}

void calls() {
  lang3();
  guava();
  javaBase();
}

}  // namespace

int main() { return e2e::runInVm("libraries", calls); }
