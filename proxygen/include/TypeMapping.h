// Java-to-JNI and C++ type mapping: the helpers from which every piece of generated C++ text is
// assembled, and the process-wide strings and sets that all generators share.
//
// Descriptors are class-file type strings (I, [J, Ljava/lang/String;, (ILjava/lang/String;)V),
// with '/' between package parts unless said otherwise. No helper throws on a malformed
// descriptor: the text helpers put an "ERROR:" text into the result, where the compiler of the
// generated project shows it.
#pragma once

#include "GeneratedClassSets.h"
#include "StringHelpers.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

// --- Shared strings -------------------------------------------------------------------------
extern const std::string indentUnit;            // "    ": one level of generated code
extern const std::string proxySuffix;           // "JNIProxy"
extern const std::string implSuffix;            // "JNIImpl"
extern const std::string delegatorSuffix;       // "JNIDelegator"
extern const std::string nativeSuffix;          // "_Native"
extern const std::string nativeMethodPrefix;    // "native0"
extern const std::string implClassPrefix;       // "JNIImplementationOf"
extern const std::string delegatorClassPrefix;  // "Delegator"

// The user's name substitutions (Java name to the name that replaces it in C++), owned by the
// generator dialog; null when there are none. The generation run points it at the dialog's map
// while it generates.
extern std::map<std::string, std::string>* nameSubstitutions;

// --- Text tools -------------------------------------------------------------------------------
// Clears out, then appends every maximal run of characters that holds none of the delimiter
// characters, in order (empty parts are never appended).
void splitString(std::vector<std::string>* out, const std::string& text, const std::string& delimiters);
bool containsChar(const std::string& text, char c);
// The parts of splitString joined with separator between them ("a.b.C", ".", "::" gives
// "a::b::C").
std::string replaceDelimiters(const std::string& text, const std::string& delimiters, const std::string& separator);

// --- Names ------------------------------------------------------------------------------------
// The C++ identifier of a Java name: its replacement when the substitutions hold the name as a
// key, as the user wrote it; else cppIdentifier (CppNames.h): '$' made '_', other characters
// encoded, and a trailing '_' on keywords, macros and the names generated code uses.
std::string substituteName(const std::string& name);
// name split at '.' and ';', each part through substituteName, joined with "."; ";" appended
// when the name holds one. A name without parts comes back unchanged.
std::string substituteQualifiedName(const std::string& name);
// The text after the last '.' (the whole name when there is none), through substituteName.
std::string simpleCppName(const std::string& dottedName);
// The C++ namespace of a package part: substituteName, and "std_" for std (a namespace std
// among the generated ones would hide the standard library from the code inside them).
std::string namespaceName(const std::string& part);
// The C++ qualified name of a dotted Java class name: its package parts through namespaceName
// and its simple name through substituteName, joined with "::" (a.b$C gives a::b_C). The proxy
// headers name their namespaces and classes the same way, so references and declarations agree
// under substitutions.
std::string cppQualifiedName(const std::string& dottedName);

// --- Descriptor tools -------------------------------------------------------------------------
// The number of leading '[' (0 for an empty descriptor).
int arrayDimensions(const std::string& descriptor);
// Whether the character after the leading '[' run is one of B C D F I J S V Z.
bool isPrimitiveElement(const std::string& descriptor);
// One flag per parameter of a method descriptor: 1 for class types and arrays, 0 for primitives.
std::vector<char> objectParamFlags(const std::string& methodDescriptor);

// The type as Java source writes it: int, java.lang.String, byte[][].
std::string javaTypeName(const std::string& descriptor);
// The JNI type, decided by the first character: jint, jintArray, jobjectArray, jobject, void.
std::string jniTypeName(const std::string& descriptor);
// The C++ type of a value in proxy declarations and constant definitions. A class type other
// than java.lang.String (jstring) becomes its default proxy type CPP_Java_Bridge::a::b::C and
// is recorded in referencedClasses; with plain set, class types are jobject and arrays of two
// or more dimensions jobjectArray.
std::string cppTypeName(const std::string& descriptor, bool plain);
// The wrapper type of proxy members: CPP_Java_Bridge::JIntArray1D, CPP_Java_Bridge::
// java::lang::StringArray2D, ::jni_helpers::JStringHelper, CPP_Java_Bridge::a::b::C or the JNI
// type of a primitive. Arrays are recorded in referencedClasses unless plain is set.
std::string helperType(const std::string& descriptor, bool plain, bool stringHelper);

// Return-type helpers (the text after the method descriptor's last ')').
std::string jmethodType(const std::string& methodDescriptor);
std::string jniMethodType(const std::string& methodDescriptor);
std::string methodHelperType(const std::string& methodDescriptor, bool stringHelper);

// Per-parameter helpers: one entry per parameter, in order.
std::vector<std::string> jmethodParams(const std::string& methodDescriptor);
std::vector<std::string> jniMethodParams(const std::string& methodDescriptor);
std::vector<std::string> methodHelperParams(const std::string& methodDescriptor);
// The jvalue member letter of each parameter: "l" for class types and arrays, else the type
// letter in lower case.
std::vector<std::string> jvalueMembers(const std::string& methodDescriptor);

// The Type of the JNI functions Get<Type>Field / Set<Type>Field and Call<Type>Method.
std::string fieldCallType(const std::string& fieldDescriptor);
std::string methodCallType(const std::string& methodDescriptor);

// The statement a generated function returns after it has handled a failure ("return 0;",
// "return false;", "" for void).
std::string defaultReturnStatement(const std::string& methodDescriptor);

// The argument list with which generated native code calls a proxy method, from parameter
// first on: "p1, CPP_Java_Bridge::a::B(JObject_t(p2))".
std::string genNativeCallArgs(const std::string& methodDescriptor, int first);

// indent "try{" and a line end.
void genTry(const std::string& indent, std::ostream& out);
// The five lines that close a generated try block: a JVMException is rethrown with the context
// and the caught message, anything else as "<context>: System Error".
void genCatch(const std::string& indent, const std::string& context, std::ostream& out);

// --- JNI export names -------------------------------------------------------------------------
// "_0" followed by the code as four lower-case hexadecimal digits ('$' gives _00024).
std::string jniUnicodeEscape(char c);
std::string jniUnicodeEscape(char16_t unit);
// The text mangled by the JNI rules: letters and digits kept, '.' (or '/') to '_', '_' to "_1",
// ';' to "_2", '[' to "_3", anything else escaped. Non-ASCII text (UTF-8, or the modified UTF-8
// of class files) is escaped per UTF-16 unit, as javac does: a character outside the Basic
// Multilingual Plane gives two escapes.
std::string jniMangle(std::string text);
// The name under which a Java VM looks up a native method: "Java_" + mangled class + "_" +
// mangled method name; when overloaded also "__" + the mangled argument descriptor.
std::string jniFunctionName(const std::string& methodName, const std::string& descriptor,
                            const std::string& dottedClassName, bool overloaded);
