// Java-to-JNI and C++ type mapping: every descriptor form, arrays of every dimension, malformed
// descriptors, substitutions and the classes recorded for the shared proxy files.
#include "ProxygenTestSupport.h"
#include "TypeMapping.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

using proxygen_test::CleanGlobals;
using Strings = std::vector<std::string>;

namespace {

struct Primitive {
  char letter;
  const char* java;
  const char* jni;
  const char* jniArray;
  const char* helperArray;
  const char* callWord;
  const char* jvalue;
  const char* defaultReturn;
};

const Primitive kPrimitives[] = {
    {'B', "byte", "jbyte", "jbyteArray", "JByteArray", "Byte", "b", "return 0x00;"},
    {'C', "char", "jchar", "jcharArray", "JCharArray", "Char", "c", "return 0;"},
    {'D', "double", "jdouble", "jdoubleArray", "JDoubleArray", "Double", "d", "return 0.0;"},
    {'F', "float", "jfloat", "jfloatArray", "JFloatArray", "Float", "f", "return 0.0;"},
    {'I', "int", "jint", "jintArray", "JIntArray", "Int", "i", "return 0;"},
    {'J', "long", "jlong", "jlongArray", "JLongArray", "Long", "j", "return 0L;"},
    {'S', "short", "jshort", "jshortArray", "JShortArray", "Short", "s", "return 0;"},
    {'Z', "boolean", "jboolean", "jbooleanArray", "JBooleanArray", "Boolean", "z", "return false;"},
};

std::string brackets(int n) { return std::string(static_cast<std::size_t>(n), '['); }

std::string javaBrackets(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "[]";
  return s;
}

class TypeMappingTest : public ::testing::Test {
 protected:
  CleanGlobals clean;
};

}  // namespace

TEST_F(TypeMappingTest, PrimitivesMapToEveryForm) {
  for (const Primitive& p : kPrimitives) {
    const std::string d(1, p.letter);
    SCOPED_TRACE(d);
    EXPECT_EQ(javaTypeName(d), p.java);
    EXPECT_EQ(jniTypeName(d), p.jni);
    EXPECT_EQ(cppTypeName(d, false), p.jni);
    EXPECT_EQ(cppTypeName(d, true), p.jni);
    EXPECT_EQ(helperType(d, false, false), p.jni);
    EXPECT_EQ(fieldCallType(d), p.callWord);
    EXPECT_EQ(methodCallType("()" + d), p.callWord);
    EXPECT_EQ(defaultReturnStatement("(I)" + d), p.defaultReturn);
    EXPECT_EQ(jvalueMembers("(" + d + ")V"), Strings{p.jvalue});
    EXPECT_EQ(objectParamFlags("(" + d + ")V"), std::vector<char>{0});
    EXPECT_TRUE(isPrimitiveElement(d));
    EXPECT_EQ(arrayDimensions(d), 0);
  }
  EXPECT_EQ(javaTypeName("V"), "void");
  EXPECT_EQ(jniTypeName("V"), "void");
  EXPECT_EQ(cppTypeName("V", false), "void");
  EXPECT_EQ(fieldCallType("V"), "Object");
  EXPECT_EQ(methodCallType("()V"), "Void");
  EXPECT_EQ(defaultReturnStatement("()V"), "");
  EXPECT_TRUE(referencedClasses.empty());
}

TEST_F(TypeMappingTest, ArraysOfEveryDimension) {
  for (int dims = 1; dims <= 4; ++dims) {
    for (const Primitive& p : kPrimitives) {
      const std::string d = brackets(dims) + p.letter;
      SCOPED_TRACE(d);
      EXPECT_EQ(javaTypeName(d), p.java + javaBrackets(dims));
      EXPECT_EQ(jniTypeName(d), dims == 1 ? p.jniArray : "jobjectArray");
      // Without plain the element decides at any depth; plain makes deeper arrays objects.
      EXPECT_EQ(cppTypeName(d, false), p.jniArray);
      EXPECT_EQ(cppTypeName(d, true), dims == 1 ? p.jniArray : "jobjectArray");
      const std::string helper = std::string(p.helperArray) + std::to_string(dims) + "D";
      EXPECT_EQ(helperType(d, false, false), "CPP_Java_Bridge::" + helper);
      EXPECT_EQ(referencedClasses.count(helper), 1u);
      EXPECT_EQ(arrayDimensions(d), dims);
      EXPECT_TRUE(isPrimitiveElement(d));
      EXPECT_EQ(fieldCallType(d), "Object");
      EXPECT_EQ(methodCallType("()" + d), "Object");
      EXPECT_EQ(defaultReturnStatement("()" + d), "return 0;");
      EXPECT_EQ(jvalueMembers("(" + d + ")V"), Strings{"l"});
      EXPECT_EQ(objectParamFlags("(" + d + ")V"), std::vector<char>{1});
    }
    const std::string strings = brackets(dims) + "Ljava/lang/String;";
    EXPECT_EQ(javaTypeName(strings), "java.lang.String" + javaBrackets(dims));
    EXPECT_EQ(jniTypeName(strings), "jobjectArray");
    EXPECT_EQ(cppTypeName(strings, false), "jobjectArray");
    EXPECT_EQ(helperType(strings, false, false),
              "CPP_Java_Bridge::java::lang::StringArray" + std::to_string(dims) + "D");
    EXPECT_EQ(referencedClasses.count("java.lang.StringArray" + std::to_string(dims) + "D"), 1u);
    EXPECT_FALSE(isPrimitiveElement(strings));
  }
}

TEST_F(TypeMappingTest, PlainArrayHelpersRecordNothing) {
  EXPECT_EQ(helperType("[[I", true, false), "CPP_Java_Bridge::JIntArray2D");
  EXPECT_EQ(helperType("[Ljava/util/List;", true, false), "CPP_Java_Bridge::java::util::ListArray1D");
  EXPECT_TRUE(referencedClasses.empty());
}

TEST_F(TypeMappingTest, ClassTypes) {
  EXPECT_EQ(javaTypeName("Ljava/lang/String;"), "java.lang.String");
  EXPECT_EQ(jniTypeName("Ljava/lang/String;"), "jobject");
  EXPECT_EQ(cppTypeName("Ljava/lang/String;", false), "jstring");
  EXPECT_EQ(cppTypeName("Ljava/lang/String;", true), "jobject");
  EXPECT_EQ(helperType("Ljava/lang/String;", false, false), "::jni_helpers::JStringHelper");
  EXPECT_EQ(helperType("Ljava/lang/String;", true, false), "jobject");
  EXPECT_EQ(helperType("Ljava/lang/String;", true, true), "jobject");
  EXPECT_TRUE(referencedClasses.empty()) << "String has its own wrapper and no default proxy";

  EXPECT_EQ(cppTypeName("Ljava/util/List;", true), "jobject");
  EXPECT_EQ(helperType("Ljava/util/List;", true, false), "jobject");
  EXPECT_TRUE(referencedClasses.empty());

  EXPECT_EQ(cppTypeName("Ljava/util/List;", false), "CPP_Java_Bridge::java::util::List");
  EXPECT_EQ(helperType("Ljava/util/Map$Entry;", false, false), "CPP_Java_Bridge::java::util::Map_Entry");
  EXPECT_EQ(helperType("LTopLevel;", false, false), "CPP_Java_Bridge::TopLevel");
  EXPECT_EQ(referencedClasses, (std::set<std::string>{"java.util.List", "java.util.Map_Entry", "TopLevel"}));

  EXPECT_EQ(fieldCallType("Ljava/lang/Object;"), "Object");
  EXPECT_EQ(methodCallType("(I)Ljava/lang/Object;"), "Object");
  EXPECT_EQ(defaultReturnStatement("()Ljava/lang/Object;"), "return 0;");
}

TEST_F(TypeMappingTest, JStringHelperWhereTheSwitchesAskForIt) {
  // A plain type stays jstring unless the string helper is asked for.
  EXPECT_EQ(helperType("Ljava/lang/String;", true, true), "jobject");
  EXPECT_EQ(methodHelperType("()Ljava/lang/String;", false), "::jni_helpers::JStringHelper");
  EXPECT_EQ(methodHelperType("()Ljava/lang/String;", true), "::jni_helpers::JStringHelper");
}

TEST_F(TypeMappingTest, OddDescriptorsPassThrough) {
  EXPECT_EQ(javaTypeName("Ljava/lang/String"), "Ljava/lang/String");
  EXPECT_EQ(javaTypeName("[Q"), "Q[]");
  EXPECT_EQ(javaTypeName(""), "");
  EXPECT_EQ(jniTypeName(""), "jobject");
  EXPECT_EQ(jniTypeName("Q"), "jobject");
  EXPECT_EQ(cppTypeName("Ljava/lang/String", false), "jobject");
  EXPECT_EQ(cppTypeName("Q", false), "Q");
  EXPECT_EQ(arrayDimensions(""), 0);
  EXPECT_FALSE(isPrimitiveElement(""));
  EXPECT_FALSE(isPrimitiveElement("[["));
}

TEST_F(TypeMappingTest, ReturnTypesAndTheirErrors) {
  EXPECT_EQ(jmethodType("(I)V"), "void");
  EXPECT_EQ(jmethodType("()[[Ljava/lang/Object;"), "java.lang.Object[][]");
  EXPECT_EQ(jmethodType(""), "ERROR:jmethodType()");
  EXPECT_EQ(jmethodType("I"), "ERROR:jmethodType(I)");
  EXPECT_EQ(jmethodType(")V"), "ERROR:jmethodType()V)");

  EXPECT_EQ(jniMethodType("(I)J"), "jlong");
  EXPECT_EQ(jniMethodType("()[B"), "jbyteArray");
  EXPECT_EQ(jniMethodType("I"), "jint") << "without ')' the whole text is the return type";
  EXPECT_EQ(jniMethodType(""), "ERROR::jniMethodType()");
  EXPECT_EQ(jniMethodType(")V"), "ERROR::jniMethodType()V)");

  EXPECT_EQ(methodHelperType("(I)[I", false), "CPP_Java_Bridge::JIntArray1D");
  EXPECT_EQ(methodHelperType("Z", false), "jboolean");
  EXPECT_EQ(methodHelperType("", true), "ERROR::methodHelperType()");
  EXPECT_EQ(methodHelperType(")V", false), "ERROR::methodHelperType()V)");
  EXPECT_EQ(methodHelperType(")V", true), "void");

  EXPECT_EQ(fieldCallType(""), "ERROR:fieldCallType()");
  EXPECT_EQ(methodCallType(""), "ERROR:methodCallType()");
  EXPECT_EQ(methodCallType("V"), "ERROR:methodCallType(V)");
  EXPECT_EQ(defaultReturnStatement("V"), "");
  EXPECT_EQ(defaultReturnStatement("(I)"), "");
}

TEST_F(TypeMappingTest, ParameterLists) {
  const std::string d = "(I[JLjava/lang/String;[[Ljava/lang/Object;ZLjava/util/List;)V";
  EXPECT_EQ(jmethodParams(d),
            (Strings{"int", "long[]", "java.lang.String", "java.lang.Object[][]", "boolean", "java.util.List"}));
  EXPECT_EQ(jniMethodParams(d), (Strings{"jint", "jlongArray", "jobject", "jobjectArray", "jboolean", "jobject"}));
  EXPECT_EQ(methodHelperParams(d),
            (Strings{"jint", "CPP_Java_Bridge::JLongArray1D", "::jni_helpers::JStringHelper",
                     "CPP_Java_Bridge::java::lang::ObjectArray2D", "jboolean", "CPP_Java_Bridge::java::util::List"}));
  EXPECT_EQ(jvalueMembers(d), (Strings{"i", "l", "l", "l", "z", "l"}));
  EXPECT_EQ(objectParamFlags(d), (std::vector<char>{0, 1, 1, 1, 0, 1}));

  for (const std::string none : {"()V", "()Ljava/lang/String;"}) {
    EXPECT_TRUE(jmethodParams(none).empty());
    EXPECT_TRUE(jniMethodParams(none).empty());
    EXPECT_TRUE(methodHelperParams(none).empty());
    EXPECT_TRUE(jvalueMembers(none).empty());
    EXPECT_TRUE(objectParamFlags(none).empty());
    EXPECT_EQ(genNativeCallArgs(none, 0), "");
  }
}

TEST_F(TypeMappingTest, MalformedParameterListsGiveErrorTexts) {
  for (const std::string bad : {"", "V", "I)V", "[I"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(jmethodParams(bad), Strings{"ERROR:jmethodParams(" + bad + ")"});
    EXPECT_EQ(jniMethodParams(bad), Strings{"ERROR:methodHelperParams(" + bad + ")"});
    EXPECT_EQ(methodHelperParams(bad), Strings{"ERROR:methodHelperParams(" + bad + ")"});
    EXPECT_EQ(jvalueMembers(bad), Strings{"ERROR:methodHelperParams(" + bad + ")"});
    EXPECT_TRUE(objectParamFlags(bad).empty());
    EXPECT_EQ(genNativeCallArgs(bad, 0), "");
  }
  // Unterminated lists end with the text.
  EXPECT_EQ(jmethodParams("(ILjava/lang/Str"), (Strings{"int", "Ljava/lang/Str"}));
}

TEST_F(TypeMappingTest, NativeCallArguments) {
  const std::string d = "(ILjava/lang/String;[IJLa/B;)V";
  EXPECT_EQ(genNativeCallArgs(d, 0),
            "p0, ::jni_helpers::JStringHelper(JObject_t(p1)), CPP_Java_Bridge::JIntArray1D(JObject_t(p2)), p3, "
            "CPP_Java_Bridge::a::B(JObject_t(p4))");
  EXPECT_EQ(genNativeCallArgs(d, 3), "p3, CPP_Java_Bridge::a::B(JObject_t(p4))");
  EXPECT_EQ(genNativeCallArgs(d, 5), "");
}

TEST_F(TypeMappingTest, TryAndCatchText) {
  std::ostringstream out;
  genTry("  ", out);
  genCatch("  ", "a::BJNIProxy::get_x", out);
  EXPECT_EQ(out.str(),
            "  try{\n"
            "  }catch(::jni_helpers::JVMException e){\n"
            "      throw ::jni_helpers::JVMException(::jni_helpers::CSmartString(\"a::BJNIProxy::get_x:\\n\") + "
            "e.getMessage(), e);\n"
            "  }catch(...){\n"
            "      throw ::jni_helpers::JVMException(\"a::BJNIProxy::get_x: System Error\");\n"
            "  }\n");
}

TEST_F(TypeMappingTest, TextTools) {
  Strings parts{"stale"};
  splitString(&parts, "..java..lang.Object.", ".");
  EXPECT_EQ(parts, (Strings{"java", "lang", "Object"}));
  splitString(&parts, "", ".");
  EXPECT_TRUE(parts.empty());
  splitString(&parts, "a;b.c", ".;");
  EXPECT_EQ(parts, (Strings{"a", "b", "c"}));
  EXPECT_EQ(replaceDelimiters("java.lang.Object", ".", "::"), "java::lang::Object");
  EXPECT_EQ(replaceDelimiters(".a..b.", ".", "/"), "a/b");
  EXPECT_TRUE(containsChar("a$b", '$'));
  EXPECT_FALSE(containsChar("ab", '$'));
  EXPECT_EQ(indentUnit, "    ");
  EXPECT_EQ(proxySuffix, "JNIProxy");
  EXPECT_EQ(implSuffix, "JNIImpl");
  EXPECT_EQ(delegatorSuffix, "JNIDelegator");
  EXPECT_EQ(nativeSuffix, "_Native");
  EXPECT_EQ(nativeMethodPrefix, "native0");
  EXPECT_EQ(implClassPrefix, "JNIImplementationOf");
  EXPECT_EQ(delegatorClassPrefix, "Delegator");
}

TEST_F(TypeMappingTest, NamesGoThroughTheSubstitutions) {
  EXPECT_EQ(substituteName("a$b"), "a_b");
  EXPECT_EQ(simpleCppName("java.lang.Object"), "Object");
  EXPECT_EQ(simpleCppName("TopLevel"), "TopLevel");
  // A package std would hide the standard library as a namespace; a class or member std hides
  // nothing that generated code names.
  EXPECT_EQ(cppQualifiedName("org.std.codec.std"), "org::std_::codec::std");
  EXPECT_EQ(cppQualifiedName("std.Codec"), "std_::Codec");
  EXPECT_EQ(substituteName("std"), "std");

  std::map<std::string, std::string> substitutions{
      {"delete", "delete_"}, {"B$C", "BC"}, {"Object", "JObject"}, {"union", "union_"}};
  nameSubstitutions = &substitutions;
  EXPECT_EQ(substituteName("delete"), "delete_");
  EXPECT_EQ(substituteName("B$C"), "BC") << "looked up before '$' is replaced";
  EXPECT_EQ(substituteName("B_C"), "B_C");
  EXPECT_EQ(substituteName("other$x"), "other_x");
  EXPECT_EQ(substituteQualifiedName("a.delete.B$C"), "a.delete_.BC");
  EXPECT_EQ(substituteQualifiedName("a.b;"), "a.b;");
  EXPECT_EQ(substituteQualifiedName(".;"), ".;");
  EXPECT_EQ(simpleCppName("java.lang.Object"), "JObject");
  EXPECT_EQ(cppQualifiedName("x.union.B$C"), "x::union_::BC");

  // Proxy types name the same namespaces and classes as the proxy headers do; the shared files
  // get the recorded name and substitute it the same way.
  EXPECT_EQ(cppTypeName("Lx/union/B$C;", false), "CPP_Java_Bridge::x::union_::BC");
  EXPECT_EQ(helperType("Lx/delete/Object;", false, false), "CPP_Java_Bridge::x::delete_::JObject");
  EXPECT_EQ(referencedClasses, (std::set<std::string>{"x.union.B_C", "x.delete.Object"}));
}

TEST_F(TypeMappingTest, ATypeMadeAgainIsRecordedAgainAndFollowsTheSubstitutionsOfTheMoment) {
  for (int pass = 0; pass < 2; ++pass) {
    // Every pass starts from empty sets, as every generation run does.
    ClassRepository::resetModules("");
    EXPECT_EQ(helperType("Lp/Q$R;", false, false), "CPP_Java_Bridge::p::Q_R");
    EXPECT_EQ(cppTypeName("Lp/S;", false), "CPP_Java_Bridge::p::S");
    EXPECT_EQ(helperType("[[Lp/T;", false, false), "CPP_Java_Bridge::p::TArray2D");
    EXPECT_EQ(referencedClasses, (std::set<std::string>{"p.Q_R", "p.S", "p.TArray2D"})) << "pass " << pass;
  }

  std::map<std::string, std::string> substitutions{{"S", "S1"}};
  nameSubstitutions = &substitutions;
  EXPECT_EQ(cppTypeName("Lp/S;", false), "CPP_Java_Bridge::p::S1");
  substitutions["S"] = "S2";
  EXPECT_EQ(cppTypeName("Lp/S;", false), "CPP_Java_Bridge::p::S2");
  EXPECT_EQ(methodHelperParams("(Lp/S;[Lp/S;)V"), (Strings{"CPP_Java_Bridge::p::S2", "CPP_Java_Bridge::p::SArray1D"}));
  substitutions.clear();
  EXPECT_EQ(cppTypeName("Lp/S;", false), "CPP_Java_Bridge::p::S");
}
