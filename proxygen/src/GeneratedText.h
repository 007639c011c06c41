// Encoding of generated C++ text (internal to the proxy generator).
#pragma once

#include <string>

// Class files hold names in modified UTF-8, where a character outside the Basic Multilingual
// Plane is two encoded surrogates of three bytes each. C++ compilers read UTF-8: such pairs
// become one four-byte sequence; everything else stays as it is.
std::string standardUtf8(const std::string& text);

// Rewrites a generated file in standard UTF-8 when it holds encoded surrogate pairs. False when
// the file cannot be read or rewritten.
bool reencodeGeneratedFile(const std::string& path);
