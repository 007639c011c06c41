// Typed nodes of the class-file tree.
//
// Every item of a class file is one antlr node whose token type (ClassFileTokenTypes) names the
// item and whose class carries its value. A node gives its value back in class-file byte order
// (high byte first) through getBytes()/getByteCount(); the class-file writer emits exactly those
// bytes, so code that builds trees never encodes bytes itself.
//
//   class          value                    text                              bytes
//   ByteArrayAST   bytes                    "[Value Size:N]" + "%02X" per byte the bytes as held
//   ShortAST       unsigned 16-bit          "%d" of the value as signed 16    2, high byte first
//   StringAST      8-bit string             the value                         the characters
//   WStringAST     16-bit units             the value narrowed to UTF-8       2 per unit, high first
//   IntAST         signed 32-bit            "%d"                              4, high byte first
//   FloatAST       IEEE float               "%e"                              4 (NaN: 7F C0 00 00)
//   LongAST        signed 64-bit            decimal followed by 'l'           8, high byte first
//   DoubleAST      IEEE double              "%g"                              8 (NaN: 7F F8 00 .. 00)
//
// A node's text (getText) is always computed from its value, so the two never disagree; setText
// on a node stores a value parsed from the text where the class can hold it.
//
// Copies: antlr's ASTFactory::dup/dupTree/dupList call clone(), and ASTFactory::create(RefAST)
// makes the node class registered for the token type and calls initialize(RefAST). Every class
// here answers clone() with a node of its own class holding its own copy of the value, and
// initialize(RefAST) copies the value from a node of the same class, or otherwise decodes the
// source node's class-file bytes (three node kinds are built with a class other than the one
// registered for their token type: a stack-map frame, ATTR_ENCLOSINGMETHOD and the METHOD_INFO
// under it).
//
// Nodes are reference counted by antlr (not atomically): a tree is used by one thread at a time.
#pragma once

#include <antlr/AST.hpp>
#include <antlr/BaseAST.hpp>
#include <antlr/Token.hpp>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <typeinfo>
#include <vector>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "the class-file byte order codecs assume a little-endian host");

// --- Class-file byte order ---------------------------------------------------------------
// The class file is big-endian and the host little-endian: each swap converts both ways.
uint16_t swapBytes16(uint16_t value);
uint32_t swapBytes32(uint32_t value);
uint64_t swapBytes64(uint64_t value);

// The value's IEEE bits in class-file order (as a word whose bytes in memory are the file's
// bytes). Any NaN becomes the canonical quiet NaN (7F C0 00 00 / 7F F8 00 00 00 00 00 00).
uint32_t floatToClassFile(float value);
uint64_t doubleToClassFile(double value);
// The inverse: a word read from the file as it lies in memory. Any NaN gives the quiet NaN.
float floatFromClassFile(uint32_t word);
double doubleFromClassFile(uint64_t word);

// Publishes the token-name table that ValueAST::typeName reads (the parser's static table of
// 100 names followed by a null entry). The class repository calls it before every parse.
void setTokenNameTable(const char* const* table);

// --- Nodes -------------------------------------------------------------------------------
enum class ValueKind { ByteArray, Short, String, WString, Int, Float, Long, Double };

// A node holds its token type and its value; its text is always made from the value, so the node
// keeps no text of its own (antlr's BaseAST rather than CommonAST, whose text string every node
// would carry unused).
class ValueAST : public antlr::BaseAST {
 public:
  ValueAST();
  ValueAST(const ValueAST& other);
  ~ValueAST() override;

  // The name of the node's token type from the published token-name table.
  const char* typeName() const override;

  int getType() const override { return m_nType; }
  void setType(int type) override { m_nType = type; }
  // The type, then the text as setText takes it.
  void initialize(int type, const std::string& text) override;
  // The type and the text of the other node (each class copies its value instead).
  void initialize(antlr::RefAST t) override;
  void initialize(antlr::RefToken t) override;

  // The value in class-file byte order: getByteCount() bytes in storage owned by the node,
  // valid until the next getBytes() on the node or its destruction.
  virtual const unsigned char* getBytes() const = 0;
  virtual std::size_t getByteCount() const = 0;

  // What the node's value is.
  virtual ValueKind valueKind() const = 0;
  bool isString() const { return valueKind() == ValueKind::String || valueKind() == ValueKind::WString; }
  bool isDouble() const { return valueKind() == ValueKind::Double; }
  bool isFloat() const { return valueKind() == ValueKind::Float; }
  bool isInt() const { return valueKind() == ValueKind::Int; }
  bool isLong() const { return valueKind() == ValueKind::Long; }
  bool isShort() const { return valueKind() == ValueKind::Short; }
  bool isByteArray() const { return valueKind() == ValueKind::ByteArray; }

  // Nodes made while a parse runs on the thread belong to the parse's tree and go with it as a
  // whole; others come from a pool that reuses the memory of released nodes.
  static void* operator new(std::size_t size);
  static void operator delete(void* p, std::size_t size) noexcept;

  // Makes `child` the next sibling of `last`, or the first child of `parent` when `last` is
  // null, without walking the child list (antlr's addChild walks it every time).
  static void appendChild(ValueAST* parent, ValueAST* last, ValueAST* child) {
    if (last)
      last->right = child;
    else
      parent->down = child;
  }

 protected:
  // The source node's class-file bytes when it is a ValueAST, else null (count 0).
  static const unsigned char* bytesOf(const antlr::RefAST& node, std::size_t& count);

 private:
  friend class NodeArena;
  ValueAST& operator=(const ValueAST&) = delete;

  int m_nType = antlr::Token::INVALID_TYPE;
};

typedef antlr::ASTRefCount<ValueAST> RefValueAST;

// The node as a node of one of the classes here (or as a ValueAST), or null when it is none: the
// same as dynamic_cast, only cheaper for the node classes themselves, which are recognised by their
// exact type first.
template <typename Node>
const Node* nodeAs(const antlr::AST* node);
const ValueAST* asValueNode(const antlr::AST* node);

// --- Value kinds ---------------------------------------------------------------------------
// What sets the node classes apart: the value's type, its text and its class-file bytes. A kind
// gives
//   Value                          the value's type
//   Scratch                        where getBytes() builds bytes that the value does not hold as
//                                  they are (NoScratch where it does)
//   text(value)                    the node's text
//   parse(text, value)             the value that the text stands for; false (the value left as it
//                                  is) for a text that is none
//   bytes(value, scratch), count(value)   the class-file bytes
//   decode(bytes, count)           the value from another node's class-file bytes; a kind whose
//                                  text stands for no value also takes no bytes at all (null, 0)
struct NoScratch {};

struct ByteArrayKind {
  using Value = std::vector<unsigned char>;
  using Scratch = NoScratch;
  static constexpr ValueKind kind = ValueKind::ByteArray;
  static constexpr bool hasTextValue = false;
  static std::string text(const Value& value);
  static bool parse(const std::string&, Value&) { return false; }
  static const unsigned char* bytes(const Value& value, Scratch&) { return value.data(); }
  static std::size_t count(const Value& value) { return value.size(); }
  static Value decode(const unsigned char* bytes, std::size_t count);
};

struct ShortKind {
  using Value = uint16_t;
  using Scratch = unsigned char[2];
  static constexpr ValueKind kind = ValueKind::Short;
  static constexpr bool hasTextValue = true;
  // The value as a signed 16-bit number.
  static std::string text(Value value);
  static bool parse(const std::string& text, Value& value);
  static const unsigned char* bytes(Value value, Scratch& scratch);
  static std::size_t count(Value) { return 2; }
  static Value decode(const unsigned char* bytes, std::size_t count);
};

struct StringKind {
  using Value = std::string;
  using Scratch = NoScratch;
  static constexpr ValueKind kind = ValueKind::String;
  static constexpr bool hasTextValue = true;
  static std::string text(const Value& value) { return value; }
  static bool parse(const std::string& text, Value& value) {
    value = text;
    return true;
  }
  static const unsigned char* bytes(const Value& value, Scratch&) {
    return reinterpret_cast<const unsigned char*>(value.data());
  }
  static std::size_t count(const Value& value) { return value.size(); }
  static Value decode(const unsigned char* bytes, std::size_t count);
};

struct WStringKind {
  using Value = std::u16string;
  using Scratch = std::vector<unsigned char>;
  static constexpr ValueKind kind = ValueKind::WString;
  static constexpr bool hasTextValue = true;
  // The value narrowed to UTF-8 (an unpaired surrogate becomes '?').
  static std::string text(const Value& value);
  static bool parse(const std::string& text, Value& value);
  static const unsigned char* bytes(const Value& value, Scratch& scratch);
  static std::size_t count(const Value& value) { return 2 * value.size(); }
  static Value decode(const unsigned char* bytes, std::size_t count);
};

// The four numbers: Int, Float, Long and Double.
template <typename T, ValueKind Kind>
struct NumberKind {
  using Value = T;
  using Scratch = unsigned char[sizeof(T)];
  static constexpr ValueKind kind = Kind;
  static constexpr bool hasTextValue = true;
  static std::string text(Value value);
  static bool parse(const std::string& text, Value& value);
  static const unsigned char* bytes(Value value, Scratch& scratch);
  static std::size_t count(Value) { return sizeof(T); }
  static Value decode(const unsigned char* bytes, std::size_t count);
};
using IntKind = NumberKind<int32_t, ValueKind::Int>;
using FloatKind = NumberKind<float, ValueKind::Float>;
using LongKind = NumberKind<int64_t, ValueKind::Long>;
using DoubleKind = NumberKind<double, ValueKind::Double>;

// --- The node classes ----------------------------------------------------------------------
template <typename Kind>
class ValueNode : public ValueAST {
 public:
  using Value = typename Kind::Value;

  ValueNode() = default;
  ValueNode(int type, Value value) : m_value(std::move(value)) { setType(type); }
  // The copy makes its own bytes when asked.
  ValueNode(const ValueNode& other) : ValueAST(other), m_value(other.m_value) {}

  Value getValue() const { return m_value; }
  const Value& value() const { return m_value; }
  void setValue(Value value) { m_value = std::move(value); }

  antlr::RefAST clone() const override;
  // The value of a node of the same class; else decoded from the node's class-file bytes, or
  // from its text when it has none.
  void initialize(antlr::RefAST t) override;
  using ValueAST::initialize;
  std::string getText() const override;
  void setText(const std::string& text) override;
  const unsigned char* getBytes() const override;
  std::size_t getByteCount() const override { return Kind::count(m_value); }
  ValueKind valueKind() const override { return Kind::kind; }
  static antlr::RefAST factory();

 private:
  Value m_value{};
  [[no_unique_address]] mutable typename Kind::Scratch m_scratch{};
};

typedef ValueNode<ByteArrayKind> ByteArrayAST;
typedef ValueNode<ShortKind> ShortAST;
typedef ValueNode<StringKind> StringAST;
typedef ValueNode<WStringKind> WStringAST;
typedef ValueNode<IntKind> IntAST;
typedef ValueNode<FloatKind> FloatAST;
typedef ValueNode<LongKind> LongAST;
typedef ValueNode<DoubleKind> DoubleAST;

// Instantiated once, in the reader.
extern template class ValueNode<ByteArrayKind>;
extern template class ValueNode<ShortKind>;
extern template class ValueNode<StringKind>;
extern template class ValueNode<WStringKind>;
extern template class ValueNode<IntKind>;
extern template class ValueNode<FloatKind>;
extern template class ValueNode<LongKind>;
extern template class ValueNode<DoubleKind>;

template <typename Node>
inline const Node* nodeAs(const antlr::AST* node) {
  if (!node) return nullptr;
  // The type's one type_info object within this library; another address falls back to the
  // general cast, so that a type seen through another copy of its type_info is still found.
  if (&typeid(*node) == &typeid(Node)) return static_cast<const Node*>(node);
  return dynamic_cast<const Node*>(node);
}

template <typename Node>
inline const Node* nodeAs(const antlr::RefAST& node) {
  return nodeAs<Node>(node.get());
}

inline const ValueAST* asValueNode(const antlr::RefAST& node) { return asValueNode(node.get()); }

// Links the nodes (a range of antlr::RefAST) as siblings, in order; the first, or the null node
// for none.
template <typename Nodes>
antlr::RefAST linkSiblings(const Nodes& nodes) {
  antlr::RefAST first;
  antlr::RefAST last;
  for (const antlr::RefAST& node : nodes) {
    if (last)
      last->setNextSibling(node);
    else
      first = node;
    last = node;
  }
  return first;
}

inline antlr::RefAST linkSiblings(std::initializer_list<antlr::RefAST> nodes) {
  return linkSiblings<std::initializer_list<antlr::RefAST>>(nodes);
}

// Makes the nodes the children of `parent`, in order; the parent.
template <typename Nodes>
antlr::RefAST withChildren(const antlr::RefAST& parent, const Nodes& children) {
  if (antlr::RefAST first = linkSiblings(children)) parent->setFirstChild(first);
  return parent;
}

inline antlr::RefAST withChildren(const antlr::RefAST& parent, std::initializer_list<antlr::RefAST> children) {
  return withChildren<std::initializer_list<antlr::RefAST>>(parent, children);
}
