// The links of a tree node, read without taking a reference: for walks that hold the tree they
// step through, where a reference count round trip per node visited would cost more than the visit.
#pragma once

#include <antlr/AST.hpp>
#include <antlr/BaseAST.hpp>

struct NodeLinks : antlr::BaseAST {
  // A node without linked children may be one that builds them when asked (LazyCodeAST).
  static const antlr::AST* firstChild(const antlr::AST* node) {
    const antlr::AST* child = (static_cast<const antlr::BaseAST*>(node)->*(&NodeLinks::down)).get();
    return child ? child : node->getFirstChild().get();
  }
  static const antlr::AST* nextSibling(const antlr::AST* node) {
    return (static_cast<const antlr::BaseAST*>(node)->*(&NodeLinks::right)).get();
  }
};
