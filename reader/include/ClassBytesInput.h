// Lexer input over the bytes of one class file held in memory.
//
// antlr's CharBuffer reads a std::istream one character at a time through a queue; this buffer
// reads straight from a byte array, and ClassFileLexer recognises it and reads its bytes without
// going through the queue. Every byte comes out as 0..255 and the end of input as EOF_CHAR.
#pragma once

#include <antlr/CharScanner.hpp>
#include <antlr/InputBuffer.hpp>

#include <cstddef>
#include <vector>

class ClassBytesInput : public antlr::InputBuffer {
 public:
  // Over borrowed bytes, which must outlive the buffer.
  ClassBytesInput(const unsigned char* data, std::size_t size);
  // Over bytes that the buffer keeps.
  explicit ClassBytesInput(std::vector<unsigned char> bytes);

  int getChar() override;
  int LA(unsigned int i) override { return peek(i); }
  void consume() override { advance(); }
  void fill(unsigned int) override {}
  unsigned int mark() override;
  void rewind(unsigned int mark) override;
  unsigned int entries() const override;
  void reset() override;

  std::size_t size() const { return m_size; }
  std::size_t position() const { return m_pos; }
  // The byte at the position (the end of the bytes at their end).
  const unsigned char* current() const { return m_data + m_pos; }

  int peek(unsigned int i) const {
    const std::size_t p = m_pos + i - 1;
    return p < m_size ? m_data[p] : antlr::CharScanner::EOF_CHAR;
  }
  void advance() {
    if (m_pos < m_size) ++m_pos;
  }
  // Moves past up to `count` bytes at once; `data` points at them. Returns how many there were.
  std::size_t take(std::size_t count, const unsigned char*& data) {
    const std::size_t left = m_size - m_pos;
    if (count > left) count = left;
    data = m_data + m_pos;
    m_pos += count;
    return count;
  }

 private:
  std::vector<unsigned char> m_owned;
  const unsigned char* m_data;
  std::size_t m_size;
  std::size_t m_pos = 0;
};
