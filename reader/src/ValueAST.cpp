#include "ValueAST.h"

#include "NodeArena.h"
#include "NodePool.h"
#include "StringHelpers.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

// --- Byte order ----------------------------------------------------------------------------
uint16_t swapBytes16(uint16_t value) { return __builtin_bswap16(value); }

uint32_t swapBytes32(uint32_t value) { return __builtin_bswap32(value); }

uint64_t swapBytes64(uint64_t value) { return __builtin_bswap64(value); }

namespace {
const unsigned char kFloatNaN[4] = {0x7F, 0xC0, 0x00, 0x00};
const unsigned char kDoubleNaN[8] = {0x7F, 0xF8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

uint32_t swapBytes(uint32_t value) { return swapBytes32(value); }
uint64_t swapBytes(uint64_t value) { return swapBytes64(value); }

// The class-file word of a float or a double: big-endian, every NaN as the one `nan` spells.
template <typename Word, typename Real>
Word toClassFile(Real value, const unsigned char (&nan)[sizeof(Word)]) {
  Word word;
  if (std::isnan(value)) {
    std::memcpy(&word, nan, sizeof word);
    return word;
  }
  std::memcpy(&word, &value, sizeof word);
  return swapBytes(word);
}

// The float or double of a class-file word; every NaN becomes the quiet NaN.
template <typename Real, typename Word>
Real fromClassFile(Word word) {
  const Word bits = swapBytes(word);
  Real value;
  std::memcpy(&value, &bits, sizeof value);
  if (std::isnan(value)) return std::numeric_limits<Real>::quiet_NaN();
  return value;
}
}  // namespace

uint32_t floatToClassFile(float value) { return toClassFile<uint32_t>(value, kFloatNaN); }

uint64_t doubleToClassFile(double value) { return toClassFile<uint64_t>(value, kDoubleNaN); }

float floatFromClassFile(uint32_t word) { return fromClassFile<float>(word); }

double doubleFromClassFile(uint64_t word) { return fromClassFile<double>(word); }

// --- Token names ---------------------------------------------------------------------------
namespace {
const char* const* g_tokenNames = nullptr;
const int kVocabularySize = 100;

// The big-endian number in the first `width` class-file bytes of a node of another class;
// bytes that the node does not have count as zero.
uint64_t leadingBytes(const unsigned char* bytes, std::size_t count, std::size_t width) {
  uint64_t v = 0;
  for (std::size_t i = 0; i < width; ++i) v = (v << 8) | (i < count ? bytes[i] : 0);
  return v;
}

template <typename T>
bool parseNumber(const std::string& text, T& out) {
  const char* first = text.data();
  const char* last = first + text.size();
  auto res = std::from_chars(first, last, out);
  return res.ec == std::errc() && res.ptr != first;
}

std::string formatFloating(double value, std::chars_format fmt, int precision) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, fmt, precision);
  return std::string(buf, res.ptr);
}

template <typename T>
std::string formatInteger(T value) {
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}
}  // namespace

void setTokenNameTable(const char* const* table) { g_tokenNames = table; }

// --- ValueAST ------------------------------------------------------------------------------
ValueAST::ValueAST() { NodeArena::adopt(this); }

ValueAST::ValueAST(const ValueAST& other) : antlr::BaseAST(other), m_nType(other.m_nType) { NodeArena::adopt(this); }

void ValueAST::initialize(int type, const std::string& text) {
  setType(type);
  setText(text);
}

void ValueAST::initialize(antlr::RefAST t) {
  if (!t) return;
  setType(t->getType());
  setText(t->getText());
}

void ValueAST::initialize(antlr::RefToken t) {
  if (!t) return;
  setType(t->getType());
  setText(t->getText());
}

void* ValueAST::operator new(std::size_t size) {
  if (void* p = NodeArena::allocate(size)) return p;
  return node_pool::allocate(size);
}

void ValueAST::operator delete(void* p, std::size_t size) noexcept {
  // Only a node whose construction failed can be arena memory here: antlr never deletes the
  // others.
  if (NodeArena::abandon(p)) return;
  node_pool::deallocate(p, size);
}

ValueAST::~ValueAST() {
  // antlr releases a sibling chain recursively, one nesting level per node: a pool or member
  // list of tens of thousands of nodes would exhaust the stack, and every level costs a return
  // that the processor cannot predict. A node releases the rest of its chain here, one node
  // after another, as far as the chain holds the only reference to it; each node is unlinked
  // from its successor before it goes, so that its own release does not recurse.
  if (!right) return;
  antlr::RefAST next = getNextSibling();
  right = antlr::RefBaseAST();
  while (next) {
    antlr::ASTRef* ref = antlr::ASTRef::getRef(next.get());
    const bool onlyHere = ref->count == 2;  // `next` and the getRef above
    ref->decrement();
    if (!onlyHere) break;
    antlr::RefAST after = next->getNextSibling();
    if (after) next->setNextSibling(antlr::RefAST());
    next = after;
  }
}

const char* ValueAST::typeName() const {
  const int type = getType();
  if (g_tokenNames && type >= 0 && type < kVocabularySize) return g_tokenNames[type];
  return "ValueAST";
}

const ValueAST* asValueNode(const antlr::AST* node) {
  if (!node) return nullptr;
  const std::type_info* type = &typeid(*node);
  if (type == &typeid(ShortAST) || type == &typeid(StringAST) || type == &typeid(IntAST) ||
      type == &typeid(ByteArrayAST) || type == &typeid(LongAST) || type == &typeid(DoubleAST) ||
      type == &typeid(FloatAST) || type == &typeid(WStringAST))
    return static_cast<const ValueAST*>(node);
  return dynamic_cast<const ValueAST*>(node);
}

const unsigned char* ValueAST::bytesOf(const antlr::RefAST& node, std::size_t& count) {
  const ValueAST* v = asValueNode(node);
  if (!v) {
    count = 0;
    return nullptr;
  }
  count = v->getByteCount();
  return v->getBytes();
}

// --- The node classes ----------------------------------------------------------------------
template <typename Kind>
antlr::RefAST ValueNode<Kind>::clone() const {
  return antlr::RefAST(new ValueNode(*this));
}

template <typename Kind>
void ValueNode<Kind>::initialize(antlr::RefAST t) {
  if (!t) return;
  setType(t->getType());
  if (const ValueNode* same = nodeAs<ValueNode>(t)) {
    m_value = same->m_value;
    return;
  }
  std::size_t count = 0;
  const unsigned char* bytes = bytesOf(t, count);
  if (bytes || !Kind::hasTextValue)
    m_value = Kind::decode(bytes, count);
  else
    setText(t->getText());
}

template <typename Kind>
std::string ValueNode<Kind>::getText() const {
  return Kind::text(m_value);
}

template <typename Kind>
void ValueNode<Kind>::setText(const std::string& text) {
  Kind::parse(text, m_value);
}

template <typename Kind>
const unsigned char* ValueNode<Kind>::getBytes() const {
  return Kind::bytes(m_value, m_scratch);
}

template <typename Kind>
antlr::RefAST ValueNode<Kind>::factory() {
  return antlr::RefAST(new ValueNode);
}

template class ValueNode<ByteArrayKind>;
template class ValueNode<ShortKind>;
template class ValueNode<StringKind>;
template class ValueNode<WStringKind>;
template class ValueNode<IntKind>;
template class ValueNode<FloatKind>;
template class ValueNode<LongKind>;
template class ValueNode<DoubleKind>;

// --- Value kinds ---------------------------------------------------------------------------
std::string ByteArrayKind::text(const Value& value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text = "[Value Size:" + formatInteger(static_cast<long long>(value.size())) + "]";
  text.reserve(text.size() + 2 * value.size());
  for (unsigned char b : value) {
    text.push_back(kHex[b >> 4]);
    text.push_back(kHex[b & 0x0F]);
  }
  return text;
}

ByteArrayKind::Value ByteArrayKind::decode(const unsigned char* bytes, std::size_t count) {
  return Value(bytes, bytes + count);
}

std::string ShortKind::text(Value value) { return formatInteger(static_cast<int16_t>(value)); }

bool ShortKind::parse(const std::string& text, Value& value) {
  int v = 0;
  if (!parseNumber(text, v)) return false;
  value = static_cast<uint16_t>(v);
  return true;
}

const unsigned char* ShortKind::bytes(Value value, Scratch& scratch) {
  scratch[0] = static_cast<unsigned char>(value >> 8);
  scratch[1] = static_cast<unsigned char>(value);
  return scratch;
}

ShortKind::Value ShortKind::decode(const unsigned char* bytes, std::size_t count) {
  return static_cast<uint16_t>(leadingBytes(bytes, count, 2));
}

StringKind::Value StringKind::decode(const unsigned char* bytes, std::size_t count) {
  return Value(reinterpret_cast<const char*>(bytes), count);
}

std::string WStringKind::text(const Value& value) { return narrowText(value); }

bool WStringKind::parse(const std::string& text, Value& value) {
  value = widenText(text);
  return true;
}

const unsigned char* WStringKind::bytes(const Value& value, Scratch& scratch) {
  Scratch buffer(count(value));
  for (std::size_t i = 0; i < value.size(); ++i) {
    buffer[2 * i] = static_cast<unsigned char>(value[i] >> 8);
    buffer[2 * i + 1] = static_cast<unsigned char>(value[i]);
  }
  scratch.swap(buffer);
  return scratch.data();
}

WStringKind::Value WStringKind::decode(const unsigned char* bytes, std::size_t count) {
  Value value;
  value.reserve(count / 2);
  for (std::size_t i = 0; i + 1 < count; i += 2) value.push_back(static_cast<char16_t>((bytes[i] << 8) | bytes[i + 1]));
  return value;
}

namespace {
// The number's class-file word (a word whose bytes in memory are the file's bytes), and back.
uint32_t toClassFile(int32_t value) { return swapBytes32(static_cast<uint32_t>(value)); }
uint32_t toClassFile(float value) { return floatToClassFile(value); }
uint64_t toClassFile(int64_t value) { return swapBytes64(static_cast<uint64_t>(value)); }
uint64_t toClassFile(double value) { return doubleToClassFile(value); }

template <typename T>
T fromClassFile(uint64_t bigEndian);
template <>
int32_t fromClassFile<int32_t>(uint64_t bigEndian) {
  return static_cast<int32_t>(static_cast<uint32_t>(bigEndian));
}
template <>
float fromClassFile<float>(uint64_t bigEndian) {
  return floatFromClassFile(swapBytes32(static_cast<uint32_t>(bigEndian)));
}
template <>
int64_t fromClassFile<int64_t>(uint64_t bigEndian) {
  return static_cast<int64_t>(bigEndian);
}
template <>
double fromClassFile<double>(uint64_t bigEndian) {
  return doubleFromClassFile(swapBytes64(bigEndian));
}

std::string numberText(int32_t value) { return formatInteger(value); }
std::string numberText(float value) { return formatFloating(value, std::chars_format::scientific, 6); }
std::string numberText(int64_t value) { return formatInteger(value) + "l"; }
std::string numberText(double value) { return formatFloating(value, std::chars_format::general, 6); }
}  // namespace

template <typename T, ValueKind Kind>
std::string NumberKind<T, Kind>::text(Value value) {
  return numberText(value);
}

template <typename T, ValueKind Kind>
bool NumberKind<T, Kind>::parse(const std::string& text, Value& value) {
  return parseNumber(text, value);
}

template <typename T, ValueKind Kind>
const unsigned char* NumberKind<T, Kind>::bytes(Value value, Scratch& scratch) {
  const auto word = toClassFile(value);
  std::memcpy(scratch, &word, sizeof word);
  return scratch;
}

template <typename T, ValueKind Kind>
typename NumberKind<T, Kind>::Value NumberKind<T, Kind>::decode(const unsigned char* bytes, std::size_t count) {
  return fromClassFile<T>(leadingBytes(bytes, count, sizeof(T)));
}

template struct NumberKind<int32_t, ValueKind::Int>;
template struct NumberKind<float, ValueKind::Float>;
template struct NumberKind<int64_t, ValueKind::Long>;
template struct NumberKind<double, ValueKind::Double>;
