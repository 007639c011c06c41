#include "ClassFileWriterBase.h"

#include "ClassFileWriterTokenTypes.hpp"
#include "JavaTypes.h"
#include "LazyCodeAST.h"
#include "ValueAST.h"

#include <cstring>
#include <iostream>

namespace {

// The twelve names seeded into the attribute name map at the start of every walk ("Signature" is
// not seeded: looked up without an entry it reads 0 all the same).
const char* const kSeededNames[] = {
    "Code",     "ConstantValue", "Exceptions", "LineNumberTable", "LocalVariableTable", "SourceFile",
    "StackMap", "InnerClasses",  "Synthetic",  "Deprecated",      "PMGClass",           "EnclosingMethod",
};

// The thirteen recognised attribute names, in the order a CONSTANT_Utf8 text is compared with them.
const char* const kAttributeNames[] = {
    "Code",       "ConstantValue", "Exceptions",      "LineNumberTable", "LocalVariableTable",
    "SourceFile", "StackMap",      "InnerClasses",    "Synthetic",       "Deprecated",
    "PMGClass",   "Signature",     "EnclosingMethod",
};

const int kVocabularySize = 100;

const ValueAST* valueNode(const antlr::RefAST& node) {
  if (!node || node == antlr::TreeParser::ASTNULL) return nullptr;
  return asValueNode(node);
}

// The node's class-file bytes read as a big-endian number, when it has exactly `width` of them.
bool numberOf(const antlr::RefAST& node, std::size_t width, uint32_t& value) {
  const ValueAST* v = valueNode(node);
  if (!v || v->getByteCount() != width) return false;
  const unsigned char* bytes = v->getBytes();
  value = 0;
  for (std::size_t i = 0; i < width; ++i) value = (value << 8) | bytes[i];
  return true;
}

std::string oneLine(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

}  // namespace

ClassFileWriterBase::ClassFileWriterBase() = default;

ClassFileWriterBase::ClassFileWriterBase(std::ostream* output) : m_pOutput(output) {}

ClassFileWriterBase::~ClassFileWriterBase() = default;

// The runtime's report formats, kept to one line: a node text quoted in a message may hold any
// byte, so control characters become '?'.
void ClassFileWriterBase::reportError(const antlr::RecognitionException& ex) {
  ++m_nErrorCount;
  std::cerr << oneLine(ex.toString()) << std::endl;
}

void ClassFileWriterBase::reportError(const std::string& message) {
  ++m_nErrorCount;
  std::cerr << "error: " << oneLine(message) << std::endl;
}

void ClassFileWriterBase::report(const std::string& message) { reportError("ClassFileWriter: " + message); }

const char* ClassFileWriterBase::nodeTypeName(int type) const {
  const char* const* names = getTokenNames();
  if (names && type >= 0 && type < kVocabularySize && names[type]) return names[type];
  return "<unknown type>";
}

std::string ClassFileWriterBase::describe(const antlr::RefAST& node) const {
  if (!node || node == ASTNULL) return "no node";
  const int type = node->getType();
  return std::string(nodeTypeName(type)) + " (type " + std::to_string(type) + ")";
}

const ValueAST* ClassFileWriterBase::valueToWrite(const antlr::RefAST& node, const char* instead) {
  const ValueAST* v = valueNode(node);
  if (!v) report("node " + describe(node) + " carries no class-file value; " + instead);
  return v;
}

const ValueAST* ClassFileWriterBase::valueToWrite(const antlr::RefAST& node) {
  return m_pOutput ? valueToWrite(node, "nothing written for it") : nullptr;
}

void ClassFileWriterBase::beginWalk() {
  m_oLengthStack.clear();
  // Reseeded in place: after a walk the map holds the seeded names and at most "Signature".
  if (m_oAttrIndexMap.size() < 12)
    for (const char* name : kSeededNames) m_oAttrIndexMap[name] = 0;
  for (auto& entry : m_oAttrIndexMap) entry.second = 0;
  m_oAttrIndexMap.erase("Signature");
  m_oUtf8Texts.clear();
  m_oUtf8Copies.clear();
  m_oUtf8Found.clear();
  m_bHasNativeMethods = false;
  m_bIsInterface = false;
  m_nErrorCount = 0;
}

void ClassFileWriterBase::endWalk() {
  m_oUtf8Texts.clear();
  m_oUtf8Copies.clear();
  m_oUtf8Found.clear();
  if (m_pOutput && !*m_pOutput) report("the output stream failed; the class file is incomplete");
}

// --- Output --------------------------------------------------------------------------------

void ClassFileWriterBase::putBytes(const void* data, std::size_t count) {
  // Straight into the stream's buffer: a write through the stream would check the stream and
  // its tied stream again for every node. A stream that failed takes nothing more, as its
  // write would; a buffer that takes less than all fails the stream.
  if (!m_pOutput->good()) return;
  std::streambuf* buffer = m_pOutput->rdbuf();
  const std::streamsize n = static_cast<std::streamsize>(count);
  if (!buffer || buffer->sputn(static_cast<const char*>(data), n) != n) m_pOutput->setstate(std::ios::badbit);
}

void ClassFileWriterBase::writeNode(const antlr::RefAST& node, std::size_t width) {
  const ValueAST* v = valueToWrite(node);
  if (!v) return;
  const std::size_t count = v->getByteCount();
  if (count) putBytes(v->getBytes(), count);
  if (width && count != width)
    report("node " + describe(node) + " holds " + std::to_string(count) + " bytes where the class file has " +
           std::to_string(width));
}

void ClassFileWriterBase::writeU1(unsigned value) {
  if (!m_pOutput) return;
  const char byte = static_cast<char>(value & 0xFF);
  putBytes(&byte, 1);
}

void ClassFileWriterBase::writeU2(unsigned value) {
  if (!m_pOutput) return;
  const char bytes[2] = {static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
  putBytes(bytes, 2);
}

void ClassFileWriterBase::writeU4(uint32_t value) {
  if (!m_pOutput) return;
  const char bytes[4] = {static_cast<char>(value >> 24), static_cast<char>((value >> 16) & 0xFF),
                         static_cast<char>((value >> 8) & 0xFF), static_cast<char>(value & 0xFF)};
  putBytes(bytes, 4);
}

void ClassFileWriterBase::writeChildCount(const antlr::RefAST& node) {
  if (!m_pOutput) return;
  std::size_t count = 0;
  for (antlr::RefAST child = node->getFirstChild(); child; child = child->getNextSibling()) ++count;
  if (count > 0xFFFF)
    report("node " + describe(node) + " has " + std::to_string(count) + " children; a class file counts at most 65535");
  writeU2(static_cast<unsigned>(count & 0xFFFF));
}

void ClassFileWriterBase::writeCodeBytes(const antlr::RefAST& node) {
  if (!m_pOutput) return;
  const ValueAST* v = valueToWrite(node, "code_length 0 written");
  if (!v) {
    writeU4(0);
    return;
  }
  const std::size_t count = v->getByteCount();
  writeU4(static_cast<uint32_t>(count));
  if (count) putBytes(v->getBytes(), count);
}

void ClassFileWriterBase::flushOutput() {
  if (m_pOutput) m_pOutput->flush();
}

// --- Constant pool ---------------------------------------------------------------------------

void ClassFileWriterBase::writeUtf8Entry(const antlr::RefAST& node, uint16_t index) {
  const StringAST* s = nodeAs<StringAST>(node);
  if (!s) m_oUtf8Copies.push_back(node->getText());
  const std::string& value = s ? s->value() : m_oUtf8Copies.back();

  // The names are 4 to 18 bytes long and start with one of C, D, E, I, L, P, S.
  if (value.size() >= 4 && value.size() <= 18 && std::strchr("CDEILPS", value[0])) {
    for (const char* name : kAttributeNames) {
      if (value == name) {
        m_oAttrIndexMap[name] = index;
        break;
      }
    }
  }
  if (!m_pOutput) return;
  m_oUtf8Texts.push_back({value.data(), value.size(), index});

  writeU1(1);
  if (value.size() > 0xFFFF)
    report("CONSTANT_Utf8 entry " + std::to_string(index) + " holds " + std::to_string(value.size()) +
           " bytes; a class file allows at most 65535");
  writeU2(static_cast<unsigned>(value.size() & 0xFFFF));
  if (!value.empty()) putBytes(value.data(), value.size());
}

void ClassFileWriterBase::writeUnicodeEntry(const antlr::RefAST& node) {
  const ValueAST* v = valueToWrite(node);
  if (!v) return;
  const std::size_t units = v->getByteCount() / 2;
  writeU1(2);
  if (units > 0xFFFF)
    report("CONSTANT_Unicode entry holds " + std::to_string(units) + " units; a class file allows at most 65535");
  writeU2(static_cast<unsigned>(units & 0xFFFF));
  writeNode(node);
}

void ClassFileWriterBase::writeOpaqueEntry(const antlr::RefAST& node) {
  const ValueAST* v = valueToWrite(node);
  if (!v) return;
  writeNode(node);
  // The tag byte decides the size: MethodHandle 1+3, MethodType/Module/Package 1+2,
  // Dynamic/InvokeDynamic 1+4.
  const std::size_t count = v->getByteCount();
  const unsigned tag = count ? v->getBytes()[0] : 0;
  std::size_t expected = 0;
  switch (tag) {
    case 15:
      expected = 4;
      break;
    case 16:
    case 19:
    case 20:
      expected = 3;
      break;
    case 17:
    case 18:
      expected = 5;
      break;
    default:
      break;
  }
  if (expected == 0)
    report("raw constant-pool entry of " + std::to_string(count) + " bytes starts with tag " + std::to_string(tag) +
           ", not a tag from 15 to 20");
  else if (count != expected)
    report("raw constant-pool entry with tag " + std::to_string(tag) + " holds " + std::to_string(count) +
           " bytes instead of " + std::to_string(expected));
}

void ClassFileWriterBase::unexpectedPoolEntry(const antlr::RefAST& node) {
  report("node " + describe(node) + " among the constant-pool entries is no pool entry; skipped");
}

// --- Class structure ---------------------------------------------------------------------------

void ClassFileWriterBase::noteMethodFlags(const antlr::RefAST& accessFlags) {
  if (m_bHasNativeMethods) return;
  uint32_t flags = 0;
  if (const ShortAST* s = nodeAs<ShortAST>(accessFlags))
    flags = s->getValue();
  else if (!numberOf(accessFlags, 2, flags))
    return;
  if (flags & kAccNative) m_bHasNativeMethods = true;
}

// --- Attributes ---------------------------------------------------------------------------------

void ClassFileWriterBase::pushLength(const antlr::RefAST& lengthNode) {
  int32_t length = 0;
  if (const IntAST* i = nodeAs<IntAST>(lengthNode)) {
    length = i->getValue();
  } else {
    uint32_t raw = 0;
    if (numberOf(lengthNode, 4, raw))
      length = static_cast<int32_t>(raw);
    else
      report("attribute length node " + describe(lengthNode) + " holds no 32-bit value; length 0 used");
  }
  m_oLengthStack.push_back(length);
}

void ClassFileWriterBase::writeAttributeHeader(const char* name) {
  if (!m_pOutput) return;
  const uint16_t index = m_oAttrIndexMap[name];
  if (index == 0)
    report(std::string("no CONSTANT_Utf8 entry of the constant pool holds the attribute name \"") + name +
           "\"; name index 0 written");
  writeU2(index);
  writeU4(m_oLengthStack.empty() ? 0u : static_cast<uint32_t>(m_oLengthStack.back()));
}

void ClassFileWriterBase::popLength() {
  if (!m_oLengthStack.empty()) m_oLengthStack.pop_back();
}

uint16_t ClassFileWriterBase::utf8Index(const std::string& text) {
  for (const auto& found : m_oUtf8Found)
    if (found.first == text) return found.second;
  // From the end: the last entry holding the text wins.
  for (auto it = m_oUtf8Texts.rbegin(); it != m_oUtf8Texts.rend(); ++it) {
    if (it->size == text.size() && std::memcmp(it->data, text.data(), text.size()) == 0) {
      m_oUtf8Found.emplace_back(text, it->index);
      return it->index;
    }
  }
  return 0;
}

void ClassFileWriterBase::writeUnknownAttribute(const antlr::RefAST& node) {
  const ValueAST* v = valueToWrite(node);
  if (!v) return;
  uint16_t index = 0;
  const antlr::RefAST nameNode = node->getFirstChild();
  if (nameNode && nameNode->getType() == ClassFileWriterTokenTypes::UNKNOWN_ATTRIBUTE_NAME) {
    const std::string name = nameNode->getText();
    index = utf8Index(name);
    if (index == 0)
      report("no CONSTANT_Utf8 entry of the constant pool holds the attribute name \"" + name +
             "\"; name index 0 written");
  } else {
    report("unknown attribute without an UNKNOWN_ATTRIBUTE_NAME child; name index 0 written");
  }
  writeU2(index);
  writeU4(static_cast<uint32_t>(v->getByteCount()));
  writeNode(node);
}

bool ClassFileWriterBase::isKeptCode(const antlr::RefAST& node) {
  if (!node || node == antlr::TreeParser::ASTNULL || node->getType() != ClassFileWriterTokenTypes::ATTR_CODE)
    return false;
  const LazyCodeAST* code = nodeAs<LazyCodeAST>(node);
  if (!code || !code->unbuilt()) return false;
  for (std::size_t i = 0; i < code->nameCount(); ++i) {
    const LazyCodeAST::NestedName& name = code->nestedName(i);
    const std::string& text = name.text->value();
    if (text == "StackMap") return false;
    if (m_pOutput && utf8Index(text) != name.index) return false;
  }
  return true;
}

void ClassFileWriterBase::writeKeptCode(const antlr::RefAST& node) {
  writeAttributeHeader("Code");
  const LazyCodeAST* code = nodeAs<LazyCodeAST>(node);
  if (m_pOutput && code && code->bodySize()) putBytes(code->body(), code->bodySize());
  popLength();
}
