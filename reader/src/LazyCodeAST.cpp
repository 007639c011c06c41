#include "LazyCodeAST.h"

#include "ClassBytesInput.h"
#include "ClassFileLexer.hpp"
#include "ClassFileParser.hpp"
#include "ClassFileTokenTypes.hpp"
#include "NodeArena.h"

#include <cstring>
#include <new>

// The body and the nested names in one block: the header, the names, the bytes.
struct LazyCodeAST::Packed {
  uint32_t size;
  uint32_t names;

  NestedName* nameTable() { return reinterpret_cast<NestedName*>(this + 1); }
  unsigned char* bytes() { return reinterpret_cast<unsigned char*>(nameTable() + names); }
};

LazyCodeAST::LazyCodeAST(const unsigned char* body, std::size_t size, const NestedName* names, std::size_t nameCount,
                         NodeArena* arena)
    : StringAST(ClassFileTokenTypes::ATTR_CODE, std::string()), m_pArena(arena) {
  static_assert(sizeof(Packed) % alignof(NestedName) == 0, "the names follow the header aligned");
  void* block = ::operator new(sizeof(Packed) + nameCount * sizeof(NestedName) + size);
  Packed* packed = static_cast<Packed*>(block);
  packed->size = static_cast<uint32_t>(size);
  packed->names = static_cast<uint32_t>(nameCount);
  for (std::size_t i = 0; i < nameCount; ++i) new (packed->nameTable() + i) NestedName(names[i]);
  if (size) std::memcpy(packed->bytes(), body, size);
  m_pPacked = packed;
}

LazyCodeAST::~LazyCodeAST() { ::operator delete(m_pPacked); }

const unsigned char* LazyCodeAST::body() const { return m_pPacked ? m_pPacked->bytes() : nullptr; }

std::size_t LazyCodeAST::bodySize() const { return m_pPacked ? m_pPacked->size : 0; }

std::size_t LazyCodeAST::nameCount() const { return m_pPacked ? m_pPacked->names : 0; }

const LazyCodeAST::NestedName& LazyCodeAST::nestedName(std::size_t i) const { return m_pPacked->nameTable()[i]; }

void LazyCodeAST::build() const {
  Packed* packed = m_pPacked;
  if (!packed) return;
  // In the memory of the node's tree while the tree is held; a node kept after its tree was
  // released gets children of their own.
  NodeArena* arena = m_pArena && m_pArena->takesNodes() ? m_pArena : nullptr;
  antlr::RefAST children;
  {
    struct Restore {
      NodeArena* previous;
      ~Restore() { NodeArena::makeCurrent(previous); }
    } restore{NodeArena::makeCurrent(arena)};
    ClassBytesInput input(packed->bytes(), packed->size);
    ClassFileLexer lexer(input);
    ClassFileParser parser(lexer);
    parser.prepareCodeRebuild(*this);
    parser.codeAttribute();
    const antlr::RefAST root = parser.getAST();
    if (root) {
      children = root->getFirstChild();
      root->setFirstChild(antlr::nullAST);
    }
  }
  m_pPacked = nullptr;
  ::operator delete(packed);
  const_cast<LazyCodeAST*>(this)->StringAST::setFirstChild(children);
}

antlr::RefAST LazyCodeAST::getFirstChild() const {
  if (m_pPacked) build();
  return StringAST::getFirstChild();
}

std::size_t LazyCodeAST::getNumberOfChildren() const {
  if (m_pPacked) build();
  return StringAST::getNumberOfChildren();
}

void LazyCodeAST::addChild(antlr::RefAST c) {
  if (m_pPacked) build();
  StringAST::addChild(c);
}

void LazyCodeAST::setFirstChild(antlr::RefAST c) {
  // The children given replace those of the body, which are then never built.
  ::operator delete(m_pPacked);
  m_pPacked = nullptr;
  StringAST::setFirstChild(c);
}

void LazyCodeAST::removeChildren() {
  ::operator delete(m_pPacked);
  m_pPacked = nullptr;
  StringAST::removeChildren();
}
