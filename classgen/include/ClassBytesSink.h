// Collects the class file that ClassFileWriter writes for a generated class and turns the bytes
// into the text of a C++ array initializer: "0x%02x" per byte (the byte taken as unsigned),
// separated by commas, 15 to a line:
//
//   0xca,0xfe,0xba,0xbe,0x00,0x03,0x00,0x2d,0x00,0x1d,0x01,0x00,0x1d,0x66,0x69,
//   0x78,...
//
// There is no separator after the last byte and no final line break; no bytes give "".
#pragma once

#include <cstddef>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

class ClassBytesSink {
 public:
  ClassBytesSink();
  ClassBytesSink(const ClassBytesSink&) = delete;
  ClassBytesSink& operator=(const ClassBytesSink&) = delete;
  virtual ~ClassBytesSink();

  // The stream the writer writes the raw bytes into; valid while the sink lives.
  std::ostream* getStream() { return &m_stream; }

  // The bytes written so far.
  std::vector<unsigned char> getBytes() const;
  // The bytes as initializer text; the same text on every call.
  std::string toString() const;
  // The bytes written so far, as they are.
  std::string rawBytes() const { return m_stream.str(); }

  // The length of the initializer text of `count` bytes.
  static std::size_t textSize(std::size_t count);
  // Appends the initializer text of the bytes to `text`.
  static void appendText(const std::string& bytes, std::string& text);

 private:
  std::ostringstream m_stream;
};
