#include "ClassBytesInput.h"

ClassBytesInput::ClassBytesInput(const unsigned char* data, std::size_t size) : m_data(data), m_size(data ? size : 0) {}

ClassBytesInput::ClassBytesInput(std::vector<unsigned char> bytes)
    : m_owned(std::move(bytes)), m_data(m_owned.data()), m_size(m_owned.size()) {}

int ClassBytesInput::getChar() {
  const int c = peek(1);
  advance();
  return c;
}

unsigned int ClassBytesInput::mark() {
  ++nMarkers;
  return static_cast<unsigned int>(m_pos);
}

void ClassBytesInput::rewind(unsigned int mark) {
  if (nMarkers > 0) --nMarkers;
  m_pos = mark < m_size ? mark : m_size;
}

unsigned int ClassBytesInput::entries() const { return static_cast<unsigned int>(m_size - m_pos); }

void ClassBytesInput::reset() {
  antlr::InputBuffer::reset();
  m_pos = 0;
}
