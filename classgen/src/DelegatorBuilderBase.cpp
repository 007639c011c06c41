// The actions of the delegator builder.
#include "DelegatorBuilderBase.h"

#include "ClassFileTokenTypes.hpp"
#include "ClassRepository.h"
#include "ProxyGenerator.h"
#include "TypeMapping.h"
#include "ValueAST.h"

#include <algorithm>
#include <deque>
#include <map>

namespace {

typedef ClassFileTokenTypes T;

uint16_t indexIn(const antlr::RefAST& node) {
  const ShortAST* value = node ? dynamic_cast<const ShortAST*>(node.get()) : nullptr;
  return value ? value->getValue() : 0;
}

// The '/'-separated names of the super class and the interfaces of a class, as its class file
// names them; none when no module holds it.
std::vector<std::string> superTypesOf(const std::string& name) {
  ClassRepository repository;
  const antlr::RefAST tree = repository.loadClass(name, std::string());
  std::vector<antlr::RefAST> pool(1);  // by class-file index
  antlr::RefAST head;
  for (antlr::RefAST node = tree; node; node = node->getNextSibling()) {
    if (node->getType() == T::CONSTANT_POOL) {
      for (antlr::RefAST entry = node->getFirstChild(); entry; entry = entry->getNextSibling()) pool.push_back(entry);
    } else if (node->getType() == T::THIS_CLASS || node->getType() == T::THIS_INTERFACE) {
      head = node;
    }
  }
  std::vector<std::string> names;
  auto add = [&](const antlr::RefAST& classInfo) {
    const uint16_t index = indexIn(classInfo);
    if (index == 0 || index >= pool.size() || pool[index]->getType() != T::CONSTANT_CLASS) return;
    const uint16_t nameIndex = indexIn(pool[index]);
    if (nameIndex != 0 && nameIndex < pool.size() && pool[nameIndex]->getType() == T::CONSTANT_UTF8)
      names.push_back(pool[nameIndex]->getText());
  };
  for (antlr::RefAST part = head ? head->getFirstChild() : antlr::nullAST; part; part = part->getNextSibling()) {
    if (part->getType() == T::EXTENDS || part->getType() == T::IMPLEMENTS) {
      for (antlr::RefAST info = part->getFirstChild(); info; info = info->getNextSibling()) add(info);
    }
  }
  return names;
}

// Whether a value of the field descriptor `from` is one of `to` (a reference widening).
bool fits(const std::string& from, const std::string& to) {
  if (from == to) return true;
  if (from.empty() || to.empty() || (from[0] != 'L' && from[0] != '[')) return false;
  if (to == "Ljava/lang/Object;") return true;
  if (from[0] == '[')
    return to[0] == '[' ? fits(from.substr(1), to.substr(1))
                        : to == "Ljava/lang/Cloneable;" || to == "Ljava/io/Serializable;";
  if (to[0] != 'L') return false;
  const std::string target = to.substr(1, to.size() - 2);
  std::deque<std::string> open = {from.substr(1, from.size() - 2)};
  std::vector<std::string> seen;
  while (!open.empty()) {
    const std::string name = open.front();
    open.pop_front();
    if (name == target) return true;
    if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
    seen.push_back(name);
    for (const std::string& super : superTypesOf(name)) open.push_back(super);
  }
  return false;
}

std::string resultOf(const std::string& descriptor) {
  const std::size_t paren = descriptor.rfind(')');
  return paren == std::string::npos ? std::string() : descriptor.substr(paren + 1);
}

}  // namespace

void DelegatorBuilderBase::beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags,
                                          const antlr::RefAST& classInfo) {
  m_bInterfaceInput = thisNode && thisNode->getType() == ClassFileTokenTypes::THIS_INTERFACE;
  const uint16_t inputFlags = shortValue(flags);
  const EntryHandle own = ClassBuilderBase::beginClassInfo(thisNode, flags, classInfo, delegatorClassPrefix);
  if (m_inheritanceLevel == 0 && !m_bInterfaceInput) {
    // The generated class extends the class: it could not be defined.
    const std::string dotted = replaceChar(m_inputClassName, '/', '.');
    if (inputFlags & kAccFinal)
      throw antlr::ANTLRException("the class " + dotted + " is final: no class can extend it");
    if (m_inputClassName == "java/lang/Object")
      throw antlr::ANTLRException("java.lang.Object has no delegator: every class extends it");
  }
  if (m_bInterfaceInput)
    m_interfaceEntry = own;
  else
    m_superClassEntry = own;
}

void DelegatorBuilderBase::setSuperClass(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo) {
  bool declared = false;
  const EntryHandle superEntry = copyExtends(extendsNode, superInfo, declared);
  // A class's delegator extends the class itself; an interface's, the interface's super class.
  if (m_bInterfaceInput) m_superClassEntry = superEntry;
  if (declared) walkSuperType(superInfo);
}

void DelegatorBuilderBase::beginMethods(const antlr::RefAST& methodsNode) {
  ClassBuilderBase::beginMethods(methodsNode, m_bInterfaceInput && m_inheritanceLevel == 0);
}

void DelegatorBuilderBase::addMethod(const antlr::RefAST& flags, const antlr::RefAST& name,
                                     const antlr::RefAST& signature) {
  const uint16_t access = shortValue(flags);
  const EntryHandle nameEntry = inputUtf8At(shortValue(name), "method name");
  const EntryHandle descriptorEntry = inputUtf8At(shortValue(signature), "method descriptor");
  const std::string nameText = nameEntry->getText();
  if (nameText == "<clinit>") return;
  if (nameText == "<init>") {
    // Only the class's own constructors, public or protected (the generated class calls them
    // as their sub class): an ancestor's would call one the class lacks. The generated
    // constructor is public, so that the C++ side can make the object.
    if (m_inheritanceLevel == 0 && !m_bInterfaceInput && (access & (kAccPublic | kAccProtected)))
      makeInputMethod(static_cast<uint16_t>((access & ~kAccProtected) | kAccPublic), nameEntry, descriptorEntry);
    return;
  }
  declareMethod(nameText + descriptorEntry->getText(), access);
  if ((access & kAccPublic) && !(access & (kAccNative | kAccFinal | kAccStatic | kAccBridge)))
    makeInputMethod(static_cast<uint16_t>(access & ~kAccAbstract), nameEntry, descriptorEntry);
}

antlr::RefAST DelegatorBuilderBase::finishBuild() {
  numberInputPool();
  endWalk();
  if (m_inheritanceLevel == 0) {
    walkAncestry();
    mergeAncestry(kAccPublic, kAccStatic | kAccFinal | kAccNative, sealedKeys());
    std::vector<MethodDescriptor> records;
    assembleClass(true, true, records, covariantRedirections());
    if (m_pGenerator) {
      for (const MethodDescriptor& record : records) {
        m_pGenerator->addDelegatorMethod(record);
        m_pGenerator->setIsInterface(false);
      }
      m_pGenerator->setIsInterface(false);
    }
  }
  return m_resultFirst;
}

std::set<std::string> DelegatorBuilderBase::sealedKeys() const {
  // Along the chain of super classes of the generated class (for an interface: from the
  // interface's super class on), the most derived declaration of a method decides: a final,
  // static or bridge one seals it. Private methods are not inherited and decide nothing.
  std::map<std::string, bool> decided;
  std::set<std::string> seen;
  const SharedBuild& shared = *m_pShared;
  const WalkedType* type = shared.types.empty() ? nullptr : shared.types[0].get();
  while (type && seen.insert(type->name).second) {
    if (!type->isInterface) {
      for (const auto& method : type->declared) {
        if (!(method.second & kAccPrivate))
          decided.emplace(method.first, (method.second & (kAccFinal | kAccStatic | kAccBridge)) != 0);
      }
    }
    const auto next = shared.typePositions.find(type->superClass);
    type = next == shared.typePositions.end() ? nullptr : shared.types[next->second].get();
  }
  std::set<std::string> sealed;
  for (const auto& key : decided) {
    if (key.second) sealed.insert(key.first);
  }
  return sealed;
}

ClassBuilderBase::Redirections DelegatorBuilderBase::covariantRedirections() const {
  // Methods by name and parameters.
  std::map<std::string, std::vector<const MemberBuilder*>> groups;
  for (const MemberHandle& member : m_methodBuilders) {
    const std::string descriptor = member->getDescriptorText();
    if (member->getNameText() != "<init>")
      groups[member->getNameText() + descriptor.substr(0, descriptor.rfind(')') + 1)].push_back(member.get());
  }
  Redirections redirections;
  for (const auto& group : groups) {
    if (group.second.size() < 2) continue;
    for (const MemberBuilder* candidate : group.second) {
      const std::string result = resultOf(candidate->getDescriptorText());
      const bool fitsAll = std::all_of(group.second.begin(), group.second.end(), [&](const MemberBuilder* other) {
        return fits(result, resultOf(other->getDescriptorText()));
      });
      if (!fitsAll) continue;
      for (const MemberBuilder* other : group.second) {
        if (other != candidate) redirections[other] = candidate;
      }
      break;
    }
  }
  return redirections;
}
