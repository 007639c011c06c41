#include "ClassFileLexerBase.h"

#include <antlr/MismatchedCharException.hpp>

// --- ByteToken -----------------------------------------------------------------------------
std::string ByteToken::getText() const {
  if (m_byte < 0) return std::string();
  return std::string(1, static_cast<char>(m_byte));
}

void ByteToken::setText(const std::string& text) {
  // The lexer keeps no token text of its own; the byte was set when the token was made.
  if (!text.empty()) m_byte = static_cast<unsigned char>(text[0]);
}

// --- ClassFileLexerBase --------------------------------------------------------------------
ClassFileLexerBase::ClassFileLexerBase(antlr::InputBuffer& cb, bool caseSensitive)
    : antlr::CharScanner(cb, caseSensitive) {
  attachInput();
}

ClassFileLexerBase::ClassFileLexerBase(antlr::InputBuffer* cb, bool caseSensitive)
    : antlr::CharScanner(cb, caseSensitive) {
  attachInput();
}

ClassFileLexerBase::ClassFileLexerBase(const antlr::LexerSharedInputState& state, bool caseSensitive)
    : antlr::CharScanner(state, caseSensitive) {
  attachInput();
}

void ClassFileLexerBase::attachInput() { m_pBytes = dynamic_cast<ClassBytesInput*>(&inputState->getInput()); }

void ClassFileLexerBase::consume() {
  // Each token is one byte: remember it for makeToken instead of collecting token text.
  m_nLastByte = LA(1);
  ++inputState->column;
  if (m_pBytes)
    m_pBytes->advance();
  else
    inputState->getInput().consume();
}

void ClassFileLexerBase::matchNot(int c) {
  const int la = LA(1);
  if (la == c) throw antlr::MismatchedCharException(la, c, true, this);
  consume();
}

void ClassFileLexerBase::resetText() {
  text.clear();
  inputState->tokenStartColumn = inputState->column;
  inputState->tokenStartLine = inputState->line;
  _returnToken = antlr::nullToken;
}

antlr::RefToken ClassFileLexerBase::makeToken(int t) {
  ByteToken* token = nullptr;
  for (antlr::RefToken& slot : m_aPool) {
    if (!slot) {
      slot = antlr::RefToken(new ByteToken);
      token = static_cast<ByteToken*>(slot.get());
      break;
    }
    antlr::TokenRef* ref = antlr::TokenRef::getRef(slot.get());
    const bool onlyInPool = ref->count == 2;  // the pool and the getRef above
    ref->decrement();
    if (onlyInPool) {
      token = static_cast<ByteToken*>(slot.get());
      break;
    }
  }
  antlr::RefToken result;
  if (token) {
    result = antlr::RefToken(token);
  } else {
    token = new ByteToken;
    result = antlr::RefToken(token);
  }
  token->setType(t);
  token->setByte(t == antlr::Token::EOF_TYPE ? -1 : m_nLastByte);
  token->setColumn(inputState->tokenStartColumn);
  return result;
}
