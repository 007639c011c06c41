// The actions of the interface implementation builder.
#include "InterfaceImplBuilderBase.h"

#include "ProxyGenerator.h"
#include "TypeMapping.h"

void InterfaceImplBuilderBase::beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags,
                                              const antlr::RefAST& classInfo) {
  m_interfaceEntry = ClassBuilderBase::beginClassInfo(thisNode, flags, classInfo, implClassPrefix);
}

void InterfaceImplBuilderBase::setSuperClass(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo) {
  // An interface without a super class gets java/lang/Object's.
  bool declared = false;
  m_superClassEntry = copyExtends(extendsNode, superInfo, declared);
}

void InterfaceImplBuilderBase::beginMethods(const antlr::RefAST& methodsNode) {
  ClassBuilderBase::beginMethods(methodsNode, true);
}

void InterfaceImplBuilderBase::addMethod(const antlr::RefAST& flags, const antlr::RefAST& name,
                                         const antlr::RefAST& signature) {
  makeInputMethod(shortValue(flags), inputUtf8At(shortValue(name), "method name"),
                  inputUtf8At(shortValue(signature), "method descriptor"));
}

antlr::RefAST InterfaceImplBuilderBase::finishBuild() {
  numberInputPool();
  endWalk();
  if (m_inheritanceLevel == 0) {
    walkAncestry();
    mergeAncestry(0, kAccStatic | kAccFinal | kAccPrivate, std::set<std::string>());
    std::vector<MethodDescriptor> records;
    assembleClass(false, false, records, Redirections(), javaDefaults());
    for (const MethodDescriptor& record : records) recordMethod(record);
    if (m_pGenerator) m_pGenerator->setIsInterface(false);
  }
  return m_resultFirst;
}

ClassBuilderBase::JavaDefaults InterfaceImplBuilderBase::javaDefaults() const {
  // The public methods of java.lang.Object that an interface may declare again.
  static const char* const objectMethods[] = {"equals(Ljava/lang/Object;)Z", "hashCode()I",
                                              "toString()Ljava/lang/String;"};
  JavaDefaults defaults;
  for (const MemberHandle& member : m_methodBuilders) {
    const uint16_t flags = member->getAccessFlags();
    if (member->getNameText() == "<init>" || (flags & kAccBridge)) continue;
    if (!(flags & kAccAbstract)) {
      defaults[member.get()] = JavaDefault::kInterface;
      continue;
    }
    const std::string key = member->getKey();
    for (const char* objectMethod : objectMethods) {
      if (key == objectMethod) defaults[member.get()] = JavaDefault::kSuperClass;
    }
  }
  return defaults;
}
