#include "ClassFileParserBase.h"

#include "ClassParseHost.h"
#include "NodeArena.h"
#include "NodePool.h"
#include "StringHelpers.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/CommonAST.hpp>
#include <antlr/CommonToken.hpp>
#include <antlr/MismatchedTokenException.hpp>

#include <algorithm>
#include <exception>
#include <set>

namespace {
ClassParseHost* g_host = nullptr;

// The first node of a parsed tree: a node of its own, counted as usual, that holds a share of
// the memory of the tree's other nodes.
class TreeRootAST : public ByteArrayAST {
 public:
  TreeRootAST(int type, std::vector<unsigned char> value, NodeArena* arena)
      : ByteArrayAST(type, std::move(value)), m_pArena(arena) {
    if (m_pArena) m_pArena->retain();
  }
  ~TreeRootAST() override {
    // The links into the tree go before the share, so that the tree is referred to from
    // nowhere else when its memory goes.
    right = antlr::RefBaseAST();
    down = antlr::RefBaseAST();
    if (m_pArena) m_pArena->release();
  }
  static void* operator new(std::size_t size) { return node_pool::allocate(size); }
  static void operator delete(void* p, std::size_t size) noexcept { node_pool::deallocate(p, size); }

 private:
  NodeArena* m_pArena;
};

// The classes whose parse is under way on this thread, outermost first.
std::set<std::string>& activeParses() {
  static thread_local std::set<std::string> names;
  return names;
}

// A token source that is at its end: the input of a parser made without one.
class EmptyTokenStream : public antlr::TokenStream {
 public:
  antlr::RefToken nextToken() override { return antlr::RefToken(new antlr::CommonToken(antlr::Token::EOF_TYPE, "")); }
};

antlr::TokenStream& emptyTokenStream() {
  static EmptyTokenStream stream;
  return stream;
}
}  // namespace

void setClassParseHost(ClassParseHost* host) { g_host = host; }

// --- CPNodeList ----------------------------------------------------------------------------
const antlr::RefAST& CPNodeList::operator[](std::size_t index) const {
  static const antlr::RefAST none(new antlr::CommonAST);
  if (index < m_oNodes.size() && m_oNodes[index]) return m_oNodes[index];
  return none;
}

void CPNodeList::set(std::size_t index, const antlr::RefAST& node) {
  if (m_oNodes.size() <= index) m_oNodes.resize(index + 1);
  m_oNodes[index] = node;
}

antlr::RefAST CPNodeList::at(std::size_t index) const {
  if (index < m_oNodes.size()) return m_oNodes[index];
  return antlr::RefAST();
}

// --- ClassFileParserBase -------------------------------------------------------------------
ClassFileParserBase::ClassFileParserBase(antlr::TokenBuffer& tokenBuf, int k) : antlr::LLkParser(tokenBuf, k) {}

ClassFileParserBase::ClassFileParserBase(antlr::TokenStream& lexer, int k)
    : antlr::LLkParser(lexer, k), m_pDirect(&lexer) {
  ClassFileLexerBase* byteLexer = dynamic_cast<ClassFileLexerBase*>(&lexer);
  m_bByteTokens = byteLexer != nullptr;
  if (byteLexer) m_pBytes = byteLexer->directInput();
}

ClassFileParserBase::ClassFileParserBase(const antlr::ParserSharedInputState& state, int k)
    : antlr::LLkParser(state, k) {}

ClassFileParserBase::ClassFileParserBase() : antlr::LLkParser(emptyTokenStream(), 1), m_pDirect(&emptyTokenStream()) {}

ClassFileParserBase::~ClassFileParserBase() {
  endClassFile();
  // The pool's references go before the parser's share of the tree's memory.
  m_oCPNodeList.clear();
  if (m_pArena) m_pArena->release();
  if (m_pScratch) m_pScratch->release();
}

antlr::RefToken ClassFileParserBase::LT(unsigned int i) {
  if (m_pBytes) {
    if (i <= 1 && m_oLookahead) return m_oLookahead;
    const unsigned int ahead = i ? i : 1;
    const int c = m_pBytes->peek(ahead);
    ByteToken* token = new ByteToken;
    token->setType(c == antlr::CharScanner::EOF_CHAR ? antlr::Token::EOF_TYPE : ClassFileTokenTypes::BYTE);
    token->setByte(c == antlr::CharScanner::EOF_CHAR ? -1 : c);
    // The column of a byte is its offset plus one, that of the end of input its size plus one.
    token->setColumn(static_cast<int>(m_pBytes->position() + ahead));
    antlr::RefToken result(token);
    if (ahead == 1) m_oLookahead = result;
    return result;
  }
  if (!m_bHaveLookahead) fetchLookaheadToken();
  if (i <= 1) return m_oLookahead;
  if (!m_pDirect) return antlr::LLkParser::LT(i);
  while (m_oAhead.size() < i - 1) m_oAhead.push_back(m_pDirect->nextToken());
  return m_oAhead[i - 2];
}

void ClassFileParserBase::fetchLookaheadToken() {
  if (!m_pDirect) {
    m_oLookahead = inputState->getInput().LT(1);
  } else if (!m_oAhead.empty()) {
    m_oLookahead = m_oAhead.front();
    m_oAhead.erase(m_oAhead.begin());
  } else {
    m_oLookahead = m_pDirect->nextToken();
  }
  m_nLookaheadByte = 0;
  if (m_bByteTokens) {
    const ByteToken* token = static_cast<const ByteToken*>(m_oLookahead.get());
    m_nLookaheadType = token->type();
    if (m_nLookaheadType == ClassFileTokenTypes::BYTE && token->byte() >= 0) m_nLookaheadByte = token->byte();
  } else {
    m_nLookaheadType = m_oLookahead->getType();
    if (m_nLookaheadType == ClassFileTokenTypes::BYTE) m_nLookaheadByte = byteOf(m_oLookahead);
  }
  m_bHaveLookahead = true;
}

void ClassFileParserBase::mismatch(int t) {
  throw antlr::MismatchedTokenException(getTokenNames(), getNumTokens(), LT(1), t, false, getFilename());
}

unsigned char ClassFileParserBase::byteOf(const antlr::RefToken& token) {
  const std::string text = token->getText();
  return text.empty() ? 0 : static_cast<unsigned char>(text[0]);
}

void ClassFileParserBase::beginClassFile(const std::string& path) {
  endClassFile();
  m_oCPNodeList.clear();
  if (m_pArena) m_pArena->release();
  m_pArena = NodeArena::create(m_pBytes ? m_pBytes->size() : 0);
  m_pOuterArena = NodeArena::makeCurrent(m_pArena);
  m_bMakingNodes = true;
  m_strClassName.clear();
  m_strClassPathRoot.clear();
  m_strPath = path;
  m_bIsInterface = false;
  m_bHasNativeMethods = false;
  std::fill(m_aVersion, m_aVersion + 4, 0);
}

void ClassFileParserBase::classNameKnown(const antlr::RefAST& thisClass) {
  m_strClassName = resolveClassName(*this, thisClass);
  if (!m_strClassName.empty() && !m_bRegistered) {
    m_bRegistered = activeParses().insert(m_strClassName).second;
    if (m_bRegistered) m_strRegisteredName = m_strClassName;
  }
  if (m_strPath.empty()) return;

  // The class's own relative path must end the given path, as a whole path component.
  const std::string relative = m_strClassName + ".class";
  const std::size_t pathLength = m_strPath.size();
  if (m_strClassName.empty() || relative.size() > pathLength ||
      m_strPath.compare(pathLength - relative.size(), relative.size(), relative) != 0)
    throw antlr::ANTLRException("Wrong Path!");
  const std::size_t pos = pathLength - relative.size();
  if (pos > 0) {
    if (m_strPath[pos - 1] != '/') throw antlr::ANTLRException("Wrong Path!");
    m_strPath = pos == 1 ? std::string("/") : m_strPath.substr(0, pos - 1);
  }
  m_strClassPathRoot = m_strPath;
  if (g_host) g_host->addModule(m_strClassPathRoot);
}

void ClassFileParserBase::loadSuperType(const antlr::RefAST& classInfo) {
  if (!g_host) return;
  const std::string name = resolveClassName(*this, classInfo);
  if (name.empty() || activeParses().count(name) != 0) return;
  // Each nested load parses on this thread's stack: past a few dozen levels the super types
  // are left to be loaded when a walk of the hierarchy reaches them.
  if (activeParses().size() >= kMaxNestedLoads) return;
  try {
    g_host->loadSuperType(name);
  } catch (const antlr::ANTLRException&) {
    // A super type that cannot be loaded is not an error of this parse.
  } catch (const std::exception&) {
  }
}

antlr::RefAST ClassFileParserBase::treeRoot(std::vector<unsigned char> magic) {
  return antlr::RefAST(new TreeRootAST(ClassFileTokenTypes::MAGIC_NUMBER, std::move(magic), m_pArena));
}

void ClassFileParserBase::endClassFile() {
  if (m_bMakingNodes) {
    NodeArena::makeCurrent(m_pOuterArena);
    m_bMakingNodes = false;
  }
  if (m_bRegistered) {
    activeParses().erase(m_strRegisteredName);
    m_bRegistered = false;
    m_strRegisteredName.clear();
  }
}

void ClassFileParserBase::prepareCodeRebuild(const LazyCodeAST& node) {
  m_bDeferCode = false;
  m_oCPNodeList.clear();
  for (std::size_t i = 0; i < node.nameCount(); ++i) {
    const LazyCodeAST::NestedName& name = node.nestedName(i);
    m_oCPNodeList.set(name.index, antlr::RefAST(const_cast<StringAST*>(name.text)));
  }
}

void ClassFileParserBase::addNestedName(unsigned short index) {
  for (const LazyCodeAST::NestedName& name : m_oNestedNames)
    if (name.index == index) return;
  // The attribute rule found a CONSTANT_Utf8 entry, a StringAST of the parse, at the index.
  m_oNestedNames.push_back({static_cast<const StringAST*>(m_oCPNodeList[index].get()), index});
}

void ClassFileParserBase::CodeDeferral::begin() {
  ClassFileParserBase& p = m_rParser;
  if (!p.m_bDeferCode || p.m_bDeferring || !p.m_pBytes || !p.m_pArena || !p.m_bMakingNodes) return;
  if (!p.m_pScratch) p.m_pScratch = NodeArena::create(0);
  m_pPrevious = NodeArena::makeCurrent(p.m_pScratch);
  m_pStart = p.m_pBytes->current();
  p.m_oNestedNames.clear();
  p.m_bDeferring = true;
  m_bActive = true;
}

antlr::RefAST ClassFileParserBase::CodeDeferral::end() {
  if (!m_bActive) return m_rReturned;
  ClassFileParserBase& p = m_rParser;
  NodeArena::makeCurrent(m_pPrevious);
  const std::size_t size = static_cast<std::size_t>(p.m_pBytes->current() - m_pStart);
  const antlr::RefAST code(
      new LazyCodeAST(m_pStart, size, p.m_oNestedNames.data(), p.m_oNestedNames.size(), p.m_pArena));
  m_rReturned = antlr::nullAST;
  finish();
  return code;
}

ClassFileParserBase::CodeDeferral::~CodeDeferral() {
  if (!m_bActive) return;
  // The parse failed within the attribute: its nodes go.
  m_rReturned = antlr::nullAST;
  NodeArena::makeCurrent(m_pPrevious);
  finish();
}

void ClassFileParserBase::CodeDeferral::finish() {
  ClassFileParserBase& p = m_rParser;
  m_bActive = false;
  p.m_bDeferring = false;
  if (!p.m_pScratch->recycle()) {
    p.m_pScratch->release();
    p.m_pScratch = nullptr;
  }
}

std::string resolveClassName(const ClassFileParserBase& parser, const antlr::RefAST& node) {
  if (!node || node->getType() != ClassFileTokenTypes::CLASS_INFO) return std::string();
  const ShortAST* info = nodeAs<ShortAST>(node);
  if (!info) return std::string();
  const CPNodeList& pool = parser.getConstantPoolNodes();
  const antlr::RefAST cls = pool.at(info->getValue());
  if (!cls || cls->getType() != ClassFileTokenTypes::CONSTANT_CLASS) return std::string();
  const ShortAST* clsIndex = nodeAs<ShortAST>(cls);
  if (!clsIndex) return std::string();
  const antlr::RefAST utf = pool.at(clsIndex->getValue());
  if (!utf || utf->getType() != ClassFileTokenTypes::CONSTANT_UTF8) return std::string();
  return utf->getText();
}
