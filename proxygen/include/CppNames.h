// Java names in generated C++: the one place where a name read from a class file becomes C++
// text. Every identifier, string literal and comment that holds a Java name is made here, so that
// nothing a class file holds can end a line, a literal or a comment early, or become a macro call.
//
// Identifiers (cppIdentifier):
//   - ASCII letters, digits and '_' stay; '$' becomes '_' (a.B$C is a::B_C).
//   - Every other character - punctuation, blanks, control characters and every non-ASCII
//     character - becomes "_u" and its code as four lower-case hexadecimal digits ("say\"hi" is
//     say_u0022hi, "é" is _u00e9), or "_U" and eight digits outside the Basic Multilingual Plane.
//     A byte that starts no valid character stands for its own value. A leading digit is
//     written the same way ("1st" is _u0031st).
//   - The result gets a trailing '_' when it is a C++ keyword or alternative token (delete_,
//     and_), a macro of the headers generated code includes (jni.h, the runtime's headers, the C
//     and C++ standard headers: EOF_, NULL_, errno_, stdin_, assert_), a name of jni.h or of the
//     runtime library that generated code uses (jint_, JObject_t_, jni_helpers_), or when it
//     starts with two underscores or with an underscore and a capital letter (the compilers' own
//     macros), or with KAVRIN_ (the runtime's macros) or SYS_ (glibc's system call numbers), or is
//     empty.
// A name that the user's substitutions name is replaced by its substitute instead, as given
// (substituteName in TypeMapping.h).
#pragma once

#include <string>

// The C++ identifier of one Java name (a package part, a simple class name, a member name).
std::string cppIdentifier(const std::string& javaName);

// Whether an identifier gets the trailing '_' of cppIdentifier (keywords, alternative tokens,
// macros, the names generated code uses, the reserved prefixes).
bool isReservedCppName(const std::string& identifier);

// A C++ string literal, quotes included, whose characters are the bytes of `text`: '"', '\\'
// and '?' (trigraphs) are escaped, line breaks and tabs as \n, \r and \t, every other control
// byte and every byte from 0x80 on as a three-digit octal escape. Unless `keepModifiedUtf8` is
// set, the modified UTF-8 of class files is first made standard UTF-8 (a supplementary
// character's two encoded surrogates become one four-byte sequence), which is what the runtime
// library decodes; JNI's own tables (RegisterNatives) take the modified form.
std::string cppStringLiteral(const std::string& text, bool keepModifiedUtf8 = false);

// Text that quotes a Java name inside a comment of generated code: printable ASCII stays, except
// '\\', '*', '/' and '?', which, like every control and non-ASCII character, are written as Java
// writes a Unicode escape (\u002a, \u00e9; two escapes outside the Basic Multilingual Plane). So
// the text can neither end a block comment, nor continue or end a line comment, nor form a
// trigraph.
std::string cppCommentText(const std::string& text);

// The stem of a generated file's name for a dotted class name: every '.' made '_', as the files
// are named, with the characters that an #include line cannot hold written as in identifiers
// (quotes, backslashes, '?', control characters, and bytes that start no valid character);
// letters, digits, '_', '$', '-' and valid non-ASCII characters (as standard UTF-8) stay.
std::string generatedFileStem(const std::string& dottedClassName);
