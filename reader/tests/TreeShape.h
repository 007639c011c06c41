// Checks a class-file tree against the documented shape; the reader's tests run it on every tree
// they parse.
#pragma once

#include "ReaderTestSupport.h"

#include <string>
#include <vector>

namespace reader_test {

class TreeShapeChecker {
 public:
  // The problems found; empty when the tree has the documented shape.
  std::vector<std::string> check(const antlr::RefAST& first) {
    m_problems.clear();
    const std::vector<antlr::RefAST> top = siblings(first);
    const std::vector<int> expected = {T::MAGIC_NUMBER, T::VERSION, T::CONSTANT_POOL, 0,
                                       T::FIELDS,       T::METHODS, T::ATTRIBUTES};
    if (top.size() != 7) {
      fail("top level has " + std::to_string(top.size()) + " nodes");
      return m_problems;
    }
    for (int i = 0; i < 7; ++i) {
      if (i == 3) {
        if (top[3]->getType() != T::THIS_CLASS && top[3]->getType() != T::THIS_INTERFACE)
          fail("class info node has type " + std::to_string(top[3]->getType()));
      } else if (top[i]->getType() != expected[i]) {
        fail("top node " + std::to_string(i) + " has type " + std::to_string(top[i]->getType()));
      }
    }
    isA<ByteArrayAST>(top[0]);
    structure(top[1], {T::MINOR, T::MAJOR});
    pool(top[2]);
    classInfo(top[3]);
    members(top[4], T::FIELD_INFO, T::TYPE, T::FIELD_ATTRIBUTES);
    members(top[5], T::METHOD_INFO, T::SIGNATURE, T::METHOD_ATTRIBUTES);
    attributeList(top[6]);
    return m_problems;
  }

 private:
  typedef ClassFileTokenTypes T;

  void fail(const std::string& what) { m_problems.push_back(what); }

  template <typename C>
  bool isA(const antlr::RefAST& n) {
    if (!n || !dynamic_cast<const C*>(n.get())) {
      fail(std::string("node of type ") + (n ? std::to_string(n->getType()) : "null") + " is not a " +
           typeid(C).name());
      return false;
    }
    return true;
  }

  // A structural StringAST with empty value whose children are ShortASTs of the given types.
  void structure(const antlr::RefAST& n, const std::vector<int>& kids) {
    if (isA<StringAST>(n) && !n->getText().empty())
      fail("structural node " + std::to_string(n->getType()) + " has a value");
    const std::vector<antlr::RefAST> c = children(n);
    if (types(c) != kids) {
      fail("children of node " + std::to_string(n->getType()) + " have other types");
      return;
    }
    for (const antlr::RefAST& k : c) isA<ShortAST>(k);
  }

  // A ShortAST count node whose value equals its number of children (plus `extra`).
  void countMatches(const antlr::RefAST& n, std::size_t extra = 0) {
    if (!isA<ShortAST>(n)) return;
    if (shortValue(n) != children(n).size() + extra)
      fail("count of node " + std::to_string(n->getType()) + " is " + std::to_string(shortValue(n)) + " with " +
           std::to_string(children(n).size()) + " children");
  }

  void pool(const antlr::RefAST& cp) {
    countMatches(cp, 1);
    const std::vector<antlr::RefAST> entries = children(cp);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const antlr::RefAST& e = entries[i];
      switch (e->getType()) {
        case T::CONSTANT_UTF8:
          isA<StringAST>(e);
          break;
        case T::CONSTANT_UNICODE:
          isA<WStringAST>(e);
          break;
        case T::CONSTANT_INTEGER:
          isA<IntAST>(e);
          break;
        case T::CONSTANT_FLOAT:
          isA<FloatAST>(e);
          break;
        case T::CONSTANT_LONG:
        case T::CONSTANT_DOUBLE:
          if (e->getType() == T::CONSTANT_LONG)
            isA<LongAST>(e);
          else
            isA<DoubleAST>(e);
          if (i + 1 >= entries.size() || entries[i + 1]->getType() != T::CONSTANT_CONTINUED)
            fail("long or double without CONSTANT_CONTINUED");
          break;
        case T::CONSTANT_CLASS:
          isA<ShortAST>(e);
          break;
        case T::CONSTANT_STRING:
          structure(e, {T::STRING_INDEX});
          break;
        case T::CONSTANT_FIELDREF:
        case T::CONSTANT_METHODREF:
        case T::CONSTANT_INTERFACEMETHODREF:
          structure(e, {T::CLASS_INDEX, T::NAME_AND_TYPE_INDEX});
          break;
        case T::CONSTANT_NAMEANDTYPE:
          structure(e, {T::NAME, T::TYPE});
          break;
        case T::CONSTANT_CONTINUED:
          structure(e, {});
          if (i == 0 ||
              (entries[i - 1]->getType() != T::CONSTANT_LONG && entries[i - 1]->getType() != T::CONSTANT_DOUBLE))
            fail("CONSTANT_CONTINUED after no long or double");
          break;
        case T::ATTR_UNKNOWN: {
          if (!isA<ByteArrayAST>(e)) break;
          const std::vector<uint8_t> b = bytesOf(e);
          const std::size_t body = b.empty() ? 0 : (b[0] == 15 ? 3 : (b[0] == 17 || b[0] == 18) ? 4 : 2);
          if (b.empty() || b[0] < 15 || b[0] > 20 || b.size() != body + 1)
            fail("opaque pool entry of " + std::to_string(b.size()) + " bytes");
          break;
        }
        default:
          fail("pool entry of type " + std::to_string(e->getType()));
      }
    }
  }

  void classInfo(const antlr::RefAST& ci) {
    isA<StringAST>(ci);
    const std::vector<antlr::RefAST> c = children(ci);
    if (types(c) != std::vector<int>{T::ACCESS_FLAGS, T::CLASS_INFO, T::EXTENDS, T::IMPLEMENTS}) {
      fail("class info children");
      return;
    }
    isA<ShortAST>(c[0]);
    isA<ShortAST>(c[1]);
    structure(c[2], {T::CLASS_INFO});
    if (isA<StringAST>(c[3]))
      for (const antlr::RefAST& i : children(c[3]))
        if (i->getType() != T::CLASS_INFO || !isA<ShortAST>(i)) fail("IMPLEMENTS child");
    const bool isInterface = (shortValue(c[0]) & 0x0200) != 0;
    if (isInterface != (ci->getType() == T::THIS_INTERFACE)) fail("class info type does not follow ACC_INTERFACE");
  }

  void members(const antlr::RefAST& list, int memberType, int descriptorType, int attributesType) {
    countMatches(list);
    for (const antlr::RefAST& m : children(list)) {
      if (m->getType() != memberType || !isA<StringAST>(m)) {
        fail("member of type " + std::to_string(m->getType()));
        continue;
      }
      const std::vector<antlr::RefAST> c = children(m);
      if (types(c) != std::vector<int>{T::ACCESS_FLAGS, T::NAME, descriptorType, attributesType}) {
        fail("member children");
        continue;
      }
      for (int k = 0; k < 3; ++k) isA<ShortAST>(c[k]);
      attributeList(c[3]);
    }
  }

  void attributeList(const antlr::RefAST& list) {
    countMatches(list);
    for (const antlr::RefAST& a : children(list)) attribute(a);
  }

  void attribute(const antlr::RefAST& a) {
    if (a->getType() != T::ATTRIBUTE_INFO_LENGTH || !isA<IntAST>(a)) {
      fail("attribute root of type " + std::to_string(a->getType()));
      return;
    }
    const std::vector<antlr::RefAST> c = children(a);
    if (c.size() != 1) {
      fail("attribute with " + std::to_string(c.size()) + " children");
      return;
    }
    const antlr::RefAST& k = c[0];
    switch (k->getType()) {
      case T::ATTR_CODE: {
        isA<StringAST>(k);
        const std::vector<antlr::RefAST> parts = children(k);
        if (types(parts) !=
            std::vector<int>{T::MAXSTACK, T::MAXLOCALS, T::CODE_BYTES, T::ATTR_EXCEPTIONS, T::DEBUG_ATTRIBUTES}) {
          fail("Code children");
          break;
        }
        isA<ShortAST>(parts[0]);
        isA<ShortAST>(parts[1]);
        isA<ByteArrayAST>(parts[2]);
        countMatches(parts[3]);
        for (const antlr::RefAST& e : children(parts[3])) {
          if (e->getType() != T::EXCEPTION_INFO)
            fail("exception table entry");
          else
            structure(e, {T::START_PC, T::END_PC, T::HANDLER_PC, T::CATCH_TYPE});
        }
        attributeList(parts[4]);
        break;
      }
      case T::ATTR_CONSTANT_VALUE:
      case T::ATTR_SOURCE_FILE:
        if (isA<ShortAST>(k) && k->getFirstChild()) fail("single-value attribute with children");
        break;
      case T::ATTR_EXCEPTIONS:
        countMatches(k);
        for (const antlr::RefAST& e : children(k))
          if (e->getType() != T::EXCEPTION_CLASS || !isA<ShortAST>(e) || shortValue(e) == 0) fail("Exceptions entry");
        break;
      case T::ATTR_LINE_NUMBER_TABLE:
        countMatches(k);
        for (const antlr::RefAST& e : children(k)) structure(e, {T::START_PC, T::LINE_NUMBER});
        break;
      case T::ATTR_LOCAL_VARIABLE_TABLE:
        countMatches(k);
        for (const antlr::RefAST& e : children(k)) structure(e, {T::START_PC, T::LENGTH, T::NAME, T::TYPE, T::INDEX});
        break;
      case T::ATTR_INNER_CLASSES:
        countMatches(k);
        for (const antlr::RefAST& e : children(k))
          structure(e, {T::INNER_CLASS_INFO, T::OUTER_CLASS_INFO, T::INNER_CLASS_NAME, T::INNER_ACCESS_FLAGS});
        break;
      case T::ATTR_SIGNATURE:
        structure(k, {T::SIGNATURE_INDEX});
        break;
      case T::ATTR_PMG:
        structure(k, {T::NAME, T::CLASS_INFO});
        break;
      case T::ATTR_ENCLOSINGMETHOD:
        structure(k, {T::CLASS_INFO, T::METHOD_INFO});
        break;
      case T::ATTR_SYNTHETIC:
      case T::ATTR_DEPRECATED:
        structure(k, {});
        break;
      case T::ATTR_STACK_MAP:
        countMatches(k);
        for (const antlr::RefAST& f : children(k)) {
          const std::vector<antlr::RefAST> lists = children(f);
          if (!isA<StringAST>(f) || types(lists) != std::vector<int>{T::ATTR_STACK_MAP_LOCALS, T::ATTR_STACK_MAP_ITEMS})
            fail("stack map frame");
        }
        break;
      case T::ATTR_UNKNOWN: {
        isA<ByteArrayAST>(k);
        const std::vector<antlr::RefAST> name = children(k);
        if (types(name) != std::vector<int>{T::UNKNOWN_ATTRIBUTE_NAME} || !isA<StringAST>(name[0]))
          fail("unknown attribute without its name");
        else if (static_cast<std::size_t>(static_cast<IntAST*>(a.get())->getValue()) != bytesOf(k).size())
          fail("unknown attribute " + name[0]->getText() + " lost bytes");
        break;
      }
      default:
        fail("attribute of kind " + std::to_string(k->getType()));
    }
  }

  std::vector<std::string> m_problems;
};

}  // namespace reader_test
