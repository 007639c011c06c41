// Helpers of generated C++ text, for the proxy generator and the writers of implementations and
// delegators: indentation, parameter lists and the encoding of the files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// `units` indentation units.
std::string indentation(std::size_t units);

// The types joined as "<type i> p<i>", with ", " between them.
std::string numberedParameters(const std::vector<std::string>& types);

// The access modifier of a member with these access flags as Java spells it, followed by a space:
// "public ", "protected ", "private ", or "" for default access.
const char* javaAccessWord(uint16_t flags);

// "static " and "final " for the modifiers among the flags, in that order.
std::string staticFinalWords(uint16_t flags);

// The opening line of a generated class, as the three ways of compiling its header see it: inside
// the library that exports it (__JNIHDLL), by a user of that library (__USEDLL), or into one
// program. `declaration` is what follows "class " and the storage class: name, bases and brace.
void writeClassOpening(std::ostream& out, const std::string& indent, const std::string& declaration);

// Appends the parts (strings, string literals, characters) to the text in order: a piece of
// generated code is built in one string and put into its stream at once.
template <typename... Parts>
void appendAll(std::string& text, const Parts&... parts) {
  ((text += parts), ...);
}

// genTry and genCatch (TypeMapping.h) appending to a text.
void appendTry(std::string& text, const std::string& indent);
void appendCatch(std::string& text, const std::string& indent, const std::string& context);

// Class files hold names in modified UTF-8, where a character outside the Basic Multilingual
// Plane is two encoded surrogates of three bytes each. C++ compilers read UTF-8: such pairs
// become one four-byte sequence; everything else stays as it is. Generated files are written
// through it (GeneratedFile.h).
std::string standardUtf8(const std::string& text);
