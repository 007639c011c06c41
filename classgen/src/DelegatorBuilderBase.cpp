// The actions of the delegator builder.
#include "DelegatorBuilderBase.h"

#include "ClassFileTokenTypes.hpp"
#include "ProxyGenerator.h"
#include "TypeMapping.h"

#include <algorithm>

DelegatorBuilderBase::DelegatorBuilderBase(ProxyGenerator* generator, uint16_t level, SharedBuild* shared)
    : ClassBuilderBase(generator, level, shared)
{
}

DelegatorBuilderBase::DelegatorBuilderBase() = default;

DelegatorBuilderBase::~DelegatorBuilderBase() = default;

void DelegatorBuilderBase::beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags,
                                          const antlr::RefAST& classInfo)
{
    m_bInterfaceInput = thisNode && thisNode->getType() == ClassFileTokenTypes::THIS_INTERFACE;
    m_sealedHere.clear();
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

void DelegatorBuilderBase::setSuperClass(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo)
{
    bool declared = false;
    const EntryHandle superEntry = copyExtends(extendsNode, superInfo, declared);
    // A class's delegator extends the class itself; an interface's, the interface's super class.
    if (m_bInterfaceInput)
        m_superClassEntry = superEntry;
    if (declared)
        walkSuperType(superInfo);
}

void DelegatorBuilderBase::beginMethods(const antlr::RefAST& methodsNode)
{
    ClassBuilderBase::beginMethods(methodsNode, m_bInterfaceInput && m_inheritanceLevel == 0);
}

void DelegatorBuilderBase::addMethod(const antlr::RefAST& flags, const antlr::RefAST& name,
                                     const antlr::RefAST& signature)
{
    const uint16_t access = shortValue(flags);
    const EntryHandle nameEntry = inputUtf8At(shortValue(name), "method name");
    const EntryHandle descriptorEntry = inputUtf8At(shortValue(signature), "method descriptor");
    const std::string nameText = nameEntry->getText();
    const std::string key = nameText + descriptorEntry->getText();
    // C++ has no member for a name or type with a '$': such a method is left to the Java class.
    const bool expressible = !containsChar(key, '$');
    if (nameText == "<clinit>")
        return;
    if (nameText == "<init>") {
        // Only the class's own constructors: an ancestor's would call one the class lacks.
        if (m_inheritanceLevel == 0 && !m_bInterfaceInput && (access & kAccPublic) && expressible)
            makeInputMethod(access, nameEntry, descriptorEntry);
        return;
    }
    if (!m_bInterfaceInput && !(access & kAccPrivate) && (access & (kAccFinal | kAccStatic | kAccBridge)))
        m_sealedHere.push_back(key);
    if ((access & kAccPublic) && !(access & (kAccNative | kAccFinal | kAccStatic | kAccBridge)) && expressible)
        makeInputMethod(static_cast<uint16_t>(access & ~kAccAbstract), nameEntry, descriptorEntry);
}

antlr::RefAST DelegatorBuilderBase::finishBuild()
{
    numberInputPool();
    std::set<std::string>& sealed = m_pShared->sealedKeys;
    if (m_bInterfaceInput) {
        // An interface does not bring back a method that a class of the ancestry sealed.
        m_methodBuilders.erase(std::remove_if(m_methodBuilders.begin(), m_methodBuilders.end(),
                                              [&sealed](const MemberHandle& m) { return sealed.count(m->getKey()) != 0; }),
                               m_methodBuilders.end());
    } else {
        // A class's own declaration counts, whatever an ancestor sealed.
        for (const MemberHandle& member : m_methodBuilders)
            sealed.erase(member->getKey());
        for (const std::string& key : m_sealedHere) {
            m_pShared->methods.erase(key);
            sealed.insert(key);
        }
    }
    collect(kAccPublic, kAccStatic | kAccFinal | kAccNative);
    if (m_inheritanceLevel == 0) {
        std::vector<MethodDescriptor> records;
        assembleClass(true, true, records);
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
