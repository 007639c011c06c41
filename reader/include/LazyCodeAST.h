// A Code attribute whose subtree is built when it is first read.
//
// Most of a class file's nodes lie in its methods' Code attributes (the code, the exception table,
// the line and local variable tables), which few readers of a tree ever visit. The parser checks
// every Code attribute completely as it reads the class, but keeps of one that parsed cleanly only
// this node: an ATTR_CODE node holding the attribute's body as it stood in the class file (from
// max_stack to the end of its attributes). The first call that reaches its children
// (getFirstChild, getNumberOfChildren, addChild, NodeLinks::firstChild, a tree walk, dupTree)
// parses the body again into exactly the nodes that the parse would otherwise have made, in the
// memory of the node's own tree, and links them under the node; from then on it is an ordinary
// ATTR_CODE node. clone() gives an ordinary StringAST node.
//
// To name its nested attributes again the node refers to the CONSTANT_Utf8 nodes of its tree that
// name them, by plain pointer: they belong to the same tree and live as long as the node does, and
// the tree's memory sees no reference to them from outside its links.
#pragma once

#include "ValueAST.h"

#include <cstddef>
#include <cstdint>
#include <typeinfo>

class NodeArena;

class LazyCodeAST : public StringAST {
 public:
  // A constant-pool index that names an attribute nested in the body, and the entry's node.
  struct NestedName {
    const StringAST* text;
    uint16_t index;
  };

  // A node of type ATTR_CODE over a copy of `body`; `arena` is the memory of its tree (or null).
  LazyCodeAST(const unsigned char* body, std::size_t size, const NestedName* names, std::size_t nameCount,
              NodeArena* arena);
  ~LazyCodeAST() override;
  LazyCodeAST(const LazyCodeAST&) = delete;
  LazyCodeAST& operator=(const LazyCodeAST&) = delete;

  // True while the children are not built.
  bool unbuilt() const { return m_pPacked != nullptr; }
  // True for a LazyCodeAST whose children are not built.
  static bool isUnbuilt(const antlr::AST* node) {
    const LazyCodeAST* code = nodeAs<LazyCodeAST>(node);
    return code && code->unbuilt();
  }

  // While unbuilt: the body's bytes and the names of its nested attributes.
  const unsigned char* body() const;
  std::size_t bodySize() const;
  std::size_t nameCount() const;
  const NestedName& nestedName(std::size_t i) const;

  // Builds the children now, unless they are built.
  void build() const;

  antlr::RefAST getFirstChild() const override;
  std::size_t getNumberOfChildren() const override;
  void addChild(antlr::RefAST c) override;
  void setFirstChild(antlr::RefAST c) override;
  void removeChildren() override;

 private:
  struct Packed;
  mutable Packed* m_pPacked = nullptr;
  NodeArena* m_pArena;
};
