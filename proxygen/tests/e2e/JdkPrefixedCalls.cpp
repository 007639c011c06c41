// Uses the proxies of java.lang.String and java.lang.StringBuilder generated with the field and
// method prefixes on and the package part "lang" substituted by "jlang".
#include "E2eSupport.h"

using namespace CPP_Java_Bridge;

namespace {

using e2e::str;

void prefixed() {
  typedef java::jlang::StringJNIProxy String;
  String text(str("Prefixed"));
  CHECK_EQ(text.mth_length(), 8);
  CHECK_TEXT(text.mth_toLowerCase(), "prefixed");
  CHECK_TEXT(text.mth_substring(3), "fixed");
  CHECK_EQ(text.mth_startsWith(str("Pre")), JNI_TRUE);
  CHECK_TEXT(String::mth_valueOf(jboolean(JNI_FALSE)), "false");
  // String caches its hash in a private field once computed.
  const jint hash = text.mth_hashCode();
  CHECK_TRUE(hash != 0);
  CHECK_EQ(text.get_fld_hash(), hash);
  CHECK_TRUE(!String::get_fld_CASE_INSENSITIVE_ORDER().isNullObject());
  CHECK_EQ(String::fld_serialVersionUID, -6849794470754667710LL);
  const std::string bad = e2e::thrownMessage([&] { text.mth_charAt(99); });
  CHECK_TRUE(e2e::contains(bad, "IndexOutOfBoundsException"));
  CHECK_TRUE(e2e::contains(bad, "StringJNIProxy::charAt"));

  java::jlang::StringBuilderJNIProxy builder(str("abcdef"));
  builder.mth_delete(1, 3);
  CHECK_TEXT(builder.mth_toString(), "adef");
  builder.mth_append(jint(7));
  CHECK_EQ(builder.mth_length(), 5);
  // A result typed with the default class of the substituted package.
  java::jlang::StringBuilder same(builder.mth_append(str("!")));
  CHECK_TEXT(java::jlang::StringBuilderJNIProxy(same).mth_toString(), "adef7!");
}

}  // namespace

int main() { return e2e::runInVm("prefixed", prefixed); }
