// Base of the generated ClassFileWriter (grammar reader/grammar/ClassFileWriter.g): the writer's
// state, the byte output and the bookkeeping that the tree rules call from their actions.
//
// ClassFileWriter walks a class-file tree (the shape that ClassFileParser builds, see
// ClassFileParserBase.h) and writes it as the bytes of a class file:
//
//   std::ostringstream out;
//   ClassFileWriter writer(&out);         // ClassFileWriter() walks without writing
//   antlr::ASTFactory factory;
//   writer.setASTFactory(&factory);       // not used: the writer builds no nodes
//   writer.classFile(tree);               // tree = the MAGIC_NUMBER node and its siblings
//   if (writer.hadErrors()) ...           // the bytes are no valid class file
//
// Every node writes its own class-file bytes (ValueAST::getBytes). The writer adds only what the
// tree does not hold as values: the pool entries' tag bytes, the length of CONSTANT_Utf8 and
// CONSTANT_Unicode entries, interfaces_count, the attribute name indices and lengths, a Code
// attribute's code_length, the item counts of a stack-map frame and the verification tags. The
// other counts (constant_pool_count, fields_count, methods_count, attributes_count, the list
// counts inside attributes) and every ATTRIBUTE_INFO_LENGTH are copied from the tree, so a tree
// built by hand must hold counts and lengths that agree with its children and bytes.
//
// Attribute name indices: the thirteen recognised attribute names ("Code", ..., "EnclosingMethod")
// are looked up in m_oAttrIndexMap, an unknown attribute's name (its UNKNOWN_ATTRIBUTE_NAME child)
// in a map of every CONSTANT_Utf8 text of the written pool; where one text stands in several
// entries, the last one wins. A name that the pool lacks is written as index 0 and reported.
//
// Errors: every rule catches its own recognition errors, reports them as one line on the standard
// error stream and goes on at the next sibling (antlr's tree-parser recovery). Problems that are
// no recognition error are reported the same way: a node of an unexpected type among the constant
// pool entries (skipped, the entries after it are written), a node that is no typed class-file
// node, a node whose byte count does not fit its field, an attribute name missing from the pool, a
// malformed opaque pool entry, an output stream that failed. Each report counts as one error; a
// walk whose error count is not 0 has not produced a valid class file.
//
// Without an output stream the same rules run and nothing is written: the walk only finds whether
// the class is an interface (its class-info node is THIS_INTERFACE) and whether some method's
// access flags have ACC_NATIVE (0x0100).
#pragma once

#include <antlr/AST.hpp>
#include <antlr/RecognitionException.hpp>
#include <antlr/TreeParser.hpp>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

class ValueAST;

// antlr's generated tree parser names antlr::TreeParser in its constructor's initialiser list,
// which is allowed only for a direct or a virtual base.
class ClassFileWriterBase : public virtual antlr::TreeParser {
 public:
  ~ClassFileWriterBase() override;

  // The flags of the last walk: its class-info node was THIS_INTERFACE; some method had
  // ACC_NATIVE.
  bool isInterface() const { return m_bIsInterface; }
  bool hasNativeMethods() const { return m_bHasNativeMethods; }

  // Problems reported during the last walk (each one line on stderr). Bytes written by a walk
  // with errors are no valid class file.
  bool hadErrors() const { return m_nErrorCount != 0; }
  std::size_t getErrorCount() const { return m_nErrorCount; }

  // Counted reports: the runtime's default (one line on stderr) plus the error count.
  void reportError(const antlr::RecognitionException& ex) override;
  void reportError(const std::string& message) override;

 protected:
  // A walk-only writer (no output stream).
  ClassFileWriterBase();
  // A writer over a borrowed stream that the caller keeps alive during the walk.
  explicit ClassFileWriterBase(std::ostream* output);

  // Start of a walk: empties the length stack and the name maps, seeds the attribute name map
  // and clears the flags and the error count.
  void beginWalk();
  // End of a walk: reports an output stream that failed.
  void endWalk();

  // --- Output (all do nothing without a stream) ---------------------------------------
  // The node's class-file bytes, whole. With a field width, a node of another byte count is
  // reported (and still written whole).
  void writeNode(const antlr::RefAST& node, std::size_t width = 0);
  void writeU1(unsigned value);
  void writeU2(unsigned value);
  void writeU4(uint32_t value);
  // The number of the node's children as a u2 (interfaces_count, a frame's item counts).
  void writeChildCount(const antlr::RefAST& node);
  // A code array: its byte count as a u4, then its bytes.
  void writeCodeBytes(const antlr::RefAST& node);
  void flushOutput();

  // --- Constant pool -------------------------------------------------------------------
  // tag 1, the length as a u2, the bytes; records the text's index in the name maps (the
  // thirteen attribute names also without a stream).
  void writeUtf8Entry(const antlr::RefAST& node, uint16_t index);
  // tag 2, the number of 16-bit units as a u2, the units.
  void writeUnicodeEntry(const antlr::RefAST& node);
  // An entry kept as its raw bytes (tags 15-20: tag byte and body): written as it is.
  void writeOpaqueEntry(const antlr::RefAST& node);
  // A child of CONSTANT_POOL that is no pool entry: reported, nothing written.
  void unexpectedPoolEntry(const antlr::RefAST& node);

  // --- Class structure ------------------------------------------------------------------
  void setInterface(bool isInterface) { m_bIsInterface = isInterface; }
  // Sets the native flag when the method's access flags have ACC_NATIVE.
  void noteMethodFlags(const antlr::RefAST& accessFlags);

  // --- Attributes -------------------------------------------------------------------------
  // Pushes the attribute length that an ATTRIBUTE_INFO_LENGTH node holds.
  void pushLength(const antlr::RefAST& lengthNode);
  // The header of a recognised attribute: the name's index from m_oAttrIndexMap, then the
  // length on top of the stack.
  void writeAttributeHeader(const char* name);
  // Pops the length of the attribute just written (with or without a stream).
  void popLength();
  // An unknown attribute: the name index of its UNKNOWN_ATTRIBUTE_NAME text, its byte count as
  // the length, its bytes.
  void writeUnknownAttribute(const antlr::RefAST& node);
  // Whether `node` is a Code attribute not built yet (LazyCodeAST) whose bytes are what the walk
  // of its subtree would write: every nested attribute's name has its index in the written pool
  // (the last entry holding the text), and none is a StackMap, whose frames the walk may refuse.
  bool isKeptCode(const antlr::RefAST& node);
  // The header of such a Code attribute, then its bytes as they were read.
  void writeKeptCode(const antlr::RefAST& node);

  std::ostream* m_pOutput = nullptr;
  // The thirteen recognised attribute names to the index of the CONSTANT_Utf8 entry naming them.
  std::map<std::string, uint16_t> m_oAttrIndexMap;
  // Declared lengths of the attributes being written, innermost at the back.
  std::deque<int32_t> m_oLengthStack;
  bool m_bIsInterface = false;
  bool m_bHasNativeMethods = false;

 private:
  // Writes bytes to the output stream (there must be one).
  void putBytes(const void* data, std::size_t count);
  void report(const std::string& message);
  const char* nodeTypeName(int type) const;
  std::string describe(const antlr::RefAST& node) const;
  // The typed node whose bytes are to be written; null, reported with what is done instead, for
  // a node that is none.
  const ValueAST* valueToWrite(const antlr::RefAST& node, const char* instead);
  // With an output stream, the node's value as valueToWrite gives it when nothing is written
  // instead; null without one.
  const ValueAST* valueToWrite(const antlr::RefAST& node);

  // The index of the last CONSTANT_Utf8 entry of the written pool that holds the text; 0 when
  // none does.
  uint16_t utf8Index(const std::string& text);

  // Every CONSTANT_Utf8 text of the written pool with its index, in pool order (filled only with
  // a stream, emptied at the start and end of a walk). The texts stay in their nodes, which the
  // caller holds during the walk; those of nodes that are no StringAST are copied.
  struct Utf8Text {
    const char* data;
    std::size_t size;
    uint16_t index;
  };
  std::vector<Utf8Text> m_oUtf8Texts;
  std::deque<std::string> m_oUtf8Copies;
  // Names looked up already in this walk, with their indices.
  std::vector<std::pair<std::string, uint16_t>> m_oUtf8Found;
  std::size_t m_nErrorCount = 0;
};
