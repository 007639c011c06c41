// Base of the generated ClassFileLexer (grammar reader/grammar/ClassFile.g).
//
// The lexer makes one BYTE token per input byte. To keep that cheap, this base
//  - reads a ClassBytesInput directly instead of through antlr's character queue, and
//  - hands out ByteToken objects that it reuses once nobody else holds them, instead of a new
//    CommonToken (and a new text) per byte.
// Over any other antlr InputBuffer (a CharBuffer over a std::istream, say) the lexer works the
// same way, only slower.
#pragma once

#include "ClassBytesInput.h"

#include <antlr/CharScanner.hpp>
#include <antlr/LexerSharedInputState.hpp>
#include <antlr/Token.hpp>

#include <string>

// A token of the class-file lexer: its text is one byte (or empty for EOF); its column is the
// byte's offset in the input plus one.
class ByteToken : public antlr::Token {
 public:
  ByteToken() = default;

  std::string getText() const override;
  void setText(const std::string& text) override;
  int getType() const override { return m_type; }
  void setType(int t) override { m_type = t; }
  int getLine() const override { return 1; }
  int getColumn() const override { return m_column; }
  void setLine(int) override {}
  void setColumn(int column) override { m_column = column; }

  // The type and the byte (0..255; -1 when the token has no text) without a virtual call.
  int type() const { return m_type; }
  int byte() const { return m_byte; }
  void setByte(int b) { m_byte = b; }

 private:
  int m_type = antlr::Token::INVALID_TYPE;
  int m_byte = -1;
  int m_column = 0;
};

class ClassFileLexerBase : public antlr::CharScanner {
 protected:
  ClassFileLexerBase(antlr::InputBuffer& cb, bool caseSensitive);
  ClassFileLexerBase(antlr::InputBuffer* cb, bool caseSensitive);
  ClassFileLexerBase(const antlr::LexerSharedInputState& state, bool caseSensitive);

 public:
  int LA(unsigned int i) final { return m_pBytes ? m_pBytes->peek(i) : inputState->getInput().LA(i); }
  void consume() final;
  void matchNot(int c) final;
  void resetText() final;
  antlr::RefToken makeToken(int t) final;

  // The ClassBytesInput that the lexer reads, or null for any other input: a parser may read
  // its bytes as the lexer's BYTE tokens without asking the lexer for them.
  ClassBytesInput* directInput() const { return m_pBytes; }

  // The vocabulary's BYTE (ClassFileTokenTypes::BYTE).
  static const int kByteTokenType = 99;

 private:
  void attachInput();

  ClassBytesInput* m_pBytes = nullptr;
  int m_nLastByte = -1;
  // Tokens handed out before; one is reused when only this pool still holds it.
  antlr::RefToken m_aPool[4];
};
