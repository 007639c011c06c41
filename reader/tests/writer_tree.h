// Helpers of the class-file writer tests: building class-file trees by hand and running the
// writer over them.
#pragma once

#include "ClassFileWriter.hpp"
#include "ValueAST.h"

#include <antlr/AST.hpp>
#include <antlr/ASTFactory.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace writer_test {

using T = ClassFileWriterTokenTypes;
using Bytes = std::vector<unsigned char>;

inline antlr::RefAST shortNode(int type, uint16_t value) { return antlr::RefAST(new ShortAST(type, value)); }
inline antlr::RefAST intNode(int type, int32_t value) { return antlr::RefAST(new IntAST(type, value)); }
inline antlr::RefAST stringNode(int type, const std::string& value = "") {
  return antlr::RefAST(new StringAST(type, value));
}
inline antlr::RefAST bytesNode(int type, Bytes value) {
  return antlr::RefAST(new ByteArrayAST(type, std::move(value)));
}

// Makes the given nodes the children of `parent` (in order) and returns the parent.
inline antlr::RefAST tree(antlr::RefAST parent, std::initializer_list<antlr::RefAST> children) {
  return withChildren(parent, children);
}

// Chains the nodes as siblings and returns the first.
inline antlr::RefAST siblings(std::initializer_list<antlr::RefAST> nodes) { return linkSiblings(nodes); }

// ATTRIBUTE_INFO_LENGTH(length) over one attribute node.
inline antlr::RefAST attribute(int32_t length, antlr::RefAST kind) {
  return tree(intNode(T::ATTRIBUTE_INFO_LENGTH, length), {kind});
}

// A CONSTANT_POOL whose slot k (from 1) holds the CONSTANT_UTF8 text names[k]; slots that the
// map leaves out hold filler texts "#k". The count is the highest slot plus 1.
inline antlr::RefAST utf8Pool(const std::vector<std::pair<int, std::string>>& names) {
  int highest = 0;
  for (const auto& n : names) highest = std::max(highest, n.first);
  std::vector<std::string> texts(static_cast<std::size_t>(highest) + 1);
  for (int k = 1; k <= highest; ++k) texts[static_cast<std::size_t>(k)] = "#" + std::to_string(k);
  for (const auto& n : names) texts[static_cast<std::size_t>(n.first)] = n.second;
  std::vector<antlr::RefAST> entries;
  for (int k = 1; k <= highest; ++k)
    entries.push_back(stringNode(T::CONSTANT_UTF8, texts[static_cast<std::size_t>(k)]));
  return withChildren(shortNode(T::CONSTANT_POOL, static_cast<uint16_t>(highest + 1)), entries);
}

// Bytes as text "00 0E 00 00" for readable failure messages.
inline std::string hex(const Bytes& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char b : bytes) {
    if (!text.empty()) text += ' ';
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}

inline Bytes toBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline std::size_t countLines(const std::string& text) {
  std::size_t n = 0;
  for (char c : text) n += c == '\n';
  return n;
}

// A writer whose rules can be driven one at a time: start() begins a walk as classFile does,
// after which constantPool (to fill the name maps) and any single rule can run.
class RuleWriter : public ClassFileWriter {
 public:
  explicit RuleWriter(std::ostream* out) : ClassFileWriter(out) { setASTFactory(&m_factory); }
  RuleWriter() { setASTFactory(&m_factory); }

  void start() { beginWalk(); }
  std::size_t lengthStackDepth() const { return m_oLengthStack.size(); }
  const std::deque<int32_t>& lengthStack() const { return m_oLengthStack; }
  antlr::RefAST returned() const { return _retTree; }

 private:
  antlr::ASTFactory m_factory;
};

// Runs one rule over a tree and gives what it wrote and what it reported on stderr.
struct RuleRun {
  Bytes bytes;
  std::string errors;
};

// Runs constantPool over `pool` (when given), then `rule` over `node`; only the bytes that `rule`
// writes are returned.
template <typename Rule>
RuleRun runRule(RuleWriter& writer, std::ostringstream& out, const antlr::RefAST& pool, Rule rule,
                const antlr::RefAST& node) {
  writer.start();
  if (pool) writer.constantPool(pool);
  out.str("");
  testing::internal::CaptureStderr();
  rule(writer, node);
  RuleRun run;
  run.errors = testing::internal::GetCapturedStderr();
  const std::string written = out.str();
  run.bytes.assign(written.begin(), written.end());
  return run;
}

// Writes a whole class-file tree; gives the bytes and the stderr text.
inline RuleRun writeClass(const antlr::RefAST& first, ClassFileWriter& writer, std::ostringstream& out) {
  out.str("");
  testing::internal::CaptureStderr();
  writer.classFile(first);
  RuleRun run;
  run.errors = testing::internal::GetCapturedStderr();
  const std::string written = out.str();
  run.bytes.assign(written.begin(), written.end());
  return run;
}

}  // namespace writer_test
