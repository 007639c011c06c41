// Base of the generated ClassFileParser (grammar reader/grammar/ClassFile.g): the state that
// the parser's rules record, its accessors, and the token access that the rules use.
//
// Reading one class file:
//   ClassBytesInput input(bytes, size);       // (a std::istream works too, more slowly)
//   ClassFileLexer lexer(input);
//   ClassFileParser parser(lexer);            // one parser per class file
//   antlr::ASTFactory factory;
//   ClassFileParser::initializeASTFactory(factory);  // static: registers the node classes
//   parser.setASTFactory(&factory);
//   setTokenNameTable(parser.getTokenNames());
//   parser.classFile(path);                   // "" for no path check; antlr exceptions on errors
//   parser.getAST(), getClassName(), isInterface(), hasNativeMethods(), getVersion(),
//   getClassPathRoot()
// The parser loads the class's super types and reports the class-path root through the
// ClassParseHost (ClassParseHost.h).
//
// Tree built by ClassFileParser::classFile (getAST returns the first of seven siblings):
//   MAGIC_NUMBER   ByteArrayAST CA FE BA BE
//   VERSION        { MINOR MAJOR }
//   CONSTANT_POOL  (constant_pool_count) { one node per pool slot 1..count-1 }
//                  CONSTANT_UTF8 (StringAST, bytes as stored), CONSTANT_UNICODE (WStringAST),
//                  CONSTANT_INTEGER/FLOAT/LONG/DOUBLE (IntAST/FloatAST/LongAST/DoubleAST),
//                  CONSTANT_CLASS (name_index), CONSTANT_STRING { STRING_INDEX },
//                  CONSTANT_FIELDREF/METHODREF/INTERFACEMETHODREF { CLASS_INDEX NAME_AND_TYPE_INDEX },
//                  CONSTANT_NAMEANDTYPE { NAME TYPE }, CONSTANT_CONTINUED after every long and double,
//                  ATTR_UNKNOWN (ByteArrayAST) for a MethodHandle, MethodType, Dynamic,
//                  InvokeDynamic, Module or Package entry (tags 15-20): its tag byte followed by
//                  its body, one pool slot; a writer writes these bytes as they are.
//   THIS_CLASS | THIS_INTERFACE { ACCESS_FLAGS CLASS_INFO EXTENDS { CLASS_INFO } IMPLEMENTS { CLASS_INFO* } }
//   FIELDS (count)  { FIELD_INFO  { ACCESS_FLAGS NAME TYPE FIELD_ATTRIBUTES (count) { attribute* } }* }
//   METHODS (count) { METHOD_INFO { ACCESS_FLAGS NAME SIGNATURE METHOD_ATTRIBUTES (count) { attribute* } }* }
//   ATTRIBUTES (count) { attribute* }
// where an attribute is ATTRIBUTE_INFO_LENGTH (IntAST, attribute_length) over exactly one node of
// its kind (ATTR_CODE, ATTR_CONSTANT_VALUE, ..., ATTR_UNKNOWN { UNKNOWN_ATTRIBUTE_NAME }).
// ATTR_CODE { MAXSTACK MAXLOCALS CODE_BYTES ATTR_EXCEPTIONS { EXCEPTION_INFO* } DEBUG_ATTRIBUTES
// { attribute* } }: a parse over a ClassBytesInput keeps a Code attribute (outside any other) as a
// LazyCodeAST holding its bytes, whose children are built when first asked for (LazyCodeAST.h).
//
// The nodes made by one parse share their memory, which the first node (MAGIC_NUMBER) keeps: it
// goes with that node as a whole. Hold a tree by its first node; an interior node held after the
// first one went keeps the whole tree until it is released too (a build with AddressSanitizer
// frees the tree regardless, to report such a node where it is used).
//
// Stack-map verification items: tags 0-5 give ITEM_BOGUS..ITEM_NULL (StringAST, empty); tag 6
// gives ITEM_UNINITIALIZEDTHIS (ShortAST 0) and reads nothing more; tag 7 reads a u2 and gives
// ITEM_OBJECT, a StringAST whose value is the u2's two bytes as in the file (so getBytes gives
// them back); tag 8 reads a u2 and gives ITEM_UNINITIALIZED (ShortAST). A tag of 7 or 8 at the
// end of the input, and tags 9-255, give TYPE (ShortAST, the tag).
//
// Errors are antlr exceptions; no rule catches any.
#pragma once

#include "ClassBytesInput.h"
#include "ClassFileLexerBase.h"
#include "ClassFileTokenTypes.hpp"
#include "LazyCodeAST.h"
#include "ValueAST.h"

#include <antlr/AST.hpp>
#include <antlr/LLkParser.hpp>
#include <antlr/ParserSharedInputState.hpp>
#include <antlr/TokenBuffer.hpp>
#include <antlr/TokenStream.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class NodeArena;

// The parsed constant pool indexed by pool index: entry 0 and the slot after every long and
// double are empty. Indexing never fails: an index outside the list or naming an empty slot
// gives a node of type 0, which matches no constant kind.
class CPNodeList {
 public:
  const antlr::RefAST& operator[](std::size_t index) const;
  // The node at the index, or a null reference.
  antlr::RefAST at(std::size_t index) const;
  void push_back(const antlr::RefAST& node) { m_oNodes.push_back(node); }
  // Puts the node at the index, the slots before it left as they are or empty.
  void set(std::size_t index, const antlr::RefAST& node);
  std::size_t size() const { return m_oNodes.size(); }
  bool empty() const { return m_oNodes.empty(); }
  void clear() { m_oNodes.clear(); }

 private:
  // A deque grows without copying its references and in small blocks.
  std::deque<antlr::RefAST> m_oNodes;
};

// Appends children to a node of the class-file tree in constant time. The parent must be kept
// alive by a reference elsewhere; a child given as a plain pointer becomes owned by the tree.
class ChildAppender {
 public:
  explicit ChildAppender(ValueAST* parent = nullptr) : m_pParent(parent) {}
  void add(ValueAST* child) {
    if (!child) return;
    ValueAST::appendChild(m_pParent, m_pLast, child);
    m_pLast = child;
  }
  // A subtree built by a rule of the parser (its nodes are all ValueAST nodes).
  void add(const antlr::RefAST& child) { add(static_cast<ValueAST*>(child.get())); }

 private:
  ValueAST* m_pParent;
  ValueAST* m_pLast = nullptr;
};

class ClassFileParserBase : public antlr::LLkParser {
 public:
  // Parses nested in one another on a thread through the loads of super types, at most.
  static constexpr std::size_t kMaxNestedLoads = 32;

 protected:
  ClassFileParserBase(antlr::TokenBuffer& tokenBuf, int k);
  ClassFileParserBase(antlr::TokenStream& lexer, int k);
  ClassFileParserBase(const antlr::ParserSharedInputState& state, int k);
  // Over no token source: only the static parts (factory registration, token names) are of use.
  ClassFileParserBase();

 public:
  ~ClassFileParserBase() override;

  // The class's internal name (java/lang/String); empty until the class-info rule ran.
  std::string getClassName() const { return m_strClassName; }
  // The class-path root that the path check found; empty unless it ran.
  std::string getClassPathRoot() const { return m_strClassPathRoot; }
  // minor_version then major_version, each 2 bytes as they stand in the file.
  const unsigned char* getVersion() const { return m_aVersion; }
  bool isInterface() const { return m_bIsInterface; }
  bool hasNativeMethods() const { return m_bHasNativeMethods; }
  const CPNodeList& getConstantPoolNodes() const { return m_oCPNodeList; }

  // Whether the parse keeps each Code attribute that parsed cleanly as a LazyCodeAST (on by
  // default; a parse that reads no ClassBytesInput builds every node).
  void setDeferredCode(bool deferred) { m_bDeferCode = deferred; }
  // Readies a parser over the body of `node` to build its children through codeAttribute(), the
  // way the class's parse would have built them.
  void prepareCodeRebuild(const LazyCodeAST& node);

  // Token access for the LL(1) rules. Over a ClassFileLexer that reads a ClassBytesInput the
  // tokens are the input's bytes, read in place: the byte at the input's position is the
  // lookahead token, consuming it moves the position, and a token object is made only when one
  // is asked for (LT). Otherwise the lookahead token is kept at hand, so a rule's tests and its
  // match cost no trip through antlr's token queue.
  int LA(unsigned int i) final {
    if (m_pBytes)
      return m_pBytes->peek(i) == antlr::CharScanner::EOF_CHAR ? antlr::Token::EOF_TYPE : ClassFileTokenTypes::BYTE;
    if (i != 1) return LT(i)->getType();
    if (!m_bHaveLookahead) fetchLookaheadToken();
    return m_nLookaheadType;
  }
  antlr::RefToken LT(unsigned int i) final;
  void consume() final {
    if (m_oLookahead) m_oLookahead = antlr::nullToken;
    if (m_pBytes) {
      m_pBytes->advance();
      return;
    }
    m_bHaveLookahead = false;
    if (!m_pDirect) antlr::LLkParser::consume();
  }
  void match(int t) final {
    if (LA(1) != t) mismatch(t);
    consume();
  }

 protected:
  // Keeps the class in the set of parses under way for the life of one classFile call.
  class ParseScope {
   public:
    explicit ParseScope(ClassFileParserBase& parser) : m_rParser(parser) {}
    ~ParseScope() { m_rParser.endClassFile(); }
    ParseScope(const ParseScope&) = delete;
    ParseScope& operator=(const ParseScope&) = delete;

   private:
    ClassFileParserBase& m_rParser;
  };
  // Counts one level of Code attributes nested in Code attributes.
  class CodeNestingScope {
   public:
    explicit CodeNestingScope(ClassFileParserBase& parser) : m_rParser(parser) { ++m_rParser.m_nCodeNesting; }
    ~CodeNestingScope() { --m_rParser.m_nCodeNesting; }
    CodeNestingScope(const CodeNestingScope&) = delete;
    CodeNestingScope& operator=(const CodeNestingScope&) = delete;

   private:
    ClassFileParserBase& m_rParser;
  };

  // Around the parse of one attribute by the attribute rule. For a Code attribute outside any
  // other, begin() and end() make the attribute's nodes in memory of their own, dropped again
  // at end(), and end() gives the attribute as a LazyCodeAST over its bytes instead; otherwise
  // end() gives the parsed attribute as it is. The parser's rule result `returned` is emptied
  // when the attribute's nodes go, also when the parse fails.
  class CodeDeferral {
   public:
    CodeDeferral(ClassFileParserBase& parser, antlr::RefAST& returned) : m_rParser(parser), m_rReturned(returned) {}
    ~CodeDeferral();
    CodeDeferral(const CodeDeferral&) = delete;
    CodeDeferral& operator=(const CodeDeferral&) = delete;
    void begin();
    antlr::RefAST end();

   private:
    void finish();

    ClassFileParserBase& m_rParser;
    antlr::RefAST& m_rReturned;
    bool m_bActive = false;
    NodeArena* m_pPrevious = nullptr;
    const unsigned char* m_pStart = nullptr;
  };
  // Records the pool index of an attribute's name while a Code attribute is deferred.
  void noteAttributeName(unsigned short index) {
    if (m_bDeferring) addNestedName(index);
  }

  // The byte of the lookahead token when it is a BYTE, else 0.
  unsigned char lookaheadByte() {
    if (m_pBytes) {
      const int c = m_pBytes->peek(1);
      return c == antlr::CharScanner::EOF_CHAR ? 0 : static_cast<unsigned char>(c);
    }
    if (!m_bHaveLookahead) fetchLookaheadToken();
    return static_cast<unsigned char>(m_nLookaheadByte);
  }
  // The byte of a BYTE token: the first character of its text.
  static unsigned char byteOf(const antlr::RefToken& token);

  // Matches up to `count` BYTE tokens, as long as they follow, appending their bytes to `out`
  // (a std::string or a byte vector); returns how many were matched. The same as a loop of
  // lookaheadByte() and match(BYTE) while LA(1) is BYTE, but over a ClassBytesInput the bytes
  // are copied at once.
  template <typename Bytes>
  std::size_t takeBytes(std::size_t count, Bytes& out) {
    std::size_t taken = 0;
    if (count == 0) return 0;
    if (m_pBytes) {
      if (m_oLookahead) m_oLookahead = antlr::nullToken;
      const unsigned char* data = nullptr;
      const std::size_t got = m_pBytes->take(count, data);
      out.insert(out.end(), data, data + got);
      return got;
    }
    for (; taken < count && LA(1) == ClassFileTokenTypes::BYTE; ++taken) {
      out.push_back(static_cast<typename Bytes::value_type>(lookaheadByte()));
      consume();
    }
    return taken;
  }

  // Resets what classFile records, before a parse, and starts the memory of its tree.
  void beginClassFile(const std::string& path);
  // The first node of the tree (MAGIC_NUMBER): it keeps the memory of the parse's nodes.
  antlr::RefAST treeRoot(std::vector<unsigned char> magic);
  // After the class-info rule has read this_class: records the class name, enters the class
  // into the set of parses under way and runs the path check ("Wrong Path!").
  void classNameKnown(const antlr::RefAST& thisClass);
  // Loads a super class or interface through the class parse host, unless its index names no
  // class, the class is being parsed already or kMaxNestedLoads parses are under way on this
  // thread (a deep hierarchy is then loaded piecewise, as its walks reach its types).
  void loadSuperType(const antlr::RefAST& classInfo);
  // Ends the parse's entry in the set of parses under way, and its making of nodes.
  void endClassFile();

  std::string m_strClassName;
  std::string m_strPath;
  std::string m_strClassPathRoot;
  unsigned char m_aVersion[4] = {0, 0, 0, 0};
  CPNodeList m_oCPNodeList;
  bool m_bIsInterface = false;
  bool m_bHasNativeMethods = false;
  // Depth of Code attributes nested in Code attributes.
  int m_nCodeNesting = 0;
  static const int kMaxCodeNesting = 16;

 private:
  void fetchLookaheadToken();
  void addNestedName(unsigned short index);
  [[noreturn]] void mismatch(int t);

  bool m_bHaveLookahead = false;
  int m_nLookaheadType = 0;
  int m_nLookaheadByte = 0;
  antlr::RefToken m_oLookahead;
  // Over a token source given directly, tokens are taken from it one at a time rather than
  // through antlr's token buffer (which keeps consumed tokens alive for thousands of tokens).
  antlr::TokenStream* m_pDirect = nullptr;
  // Tokens read ahead beyond the lookahead token, for LT(i) with i > 1 (direct source only).
  std::vector<antlr::RefToken> m_oAhead;
  // The token source is a ClassFileLexer, whose tokens are all ByteTokens.
  bool m_bByteTokens = false;
  // The ClassBytesInput of that lexer, when it reads one: the parser then reads its tokens
  // straight from the input's bytes.
  ClassBytesInput* m_pBytes = nullptr;
  // The memory of the nodes of the parse under way or last made (one share of it).
  NodeArena* m_pArena = nullptr;
  NodeArena* m_pOuterArena = nullptr;
  bool m_bMakingNodes = false;
  // Code attributes: kept as LazyCodeAST nodes; one is being read so; the memory its nodes are
  // made in while it is read; the names of the attributes nested in it.
  bool m_bDeferCode = true;
  bool m_bDeferring = false;
  NodeArena* m_pScratch = nullptr;
  std::vector<LazyCodeAST::NestedName> m_oNestedNames;
  // The class name entered into the set of parses under way, if any.
  bool m_bRegistered = false;
  std::string m_strRegisteredName;
};

// The '/'-separated class name that a CLASS_INFO node names through the constant pool
// (CLASS_INFO -> CONSTANT_CLASS -> CONSTANT_UTF8); empty for any other node and for an index
// that does not lead to such entries.
std::string resolveClassName(const ClassFileParserBase& parser, const antlr::RefAST& node);
