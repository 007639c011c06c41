// The actions of the interface implementation builder.
#include "InterfaceImplBuilderBase.h"

#include "ClassFileTokenTypes.hpp"
#include "ClassRepository.h"
#include "ProxyGenerator.h"
#include "TypeMapping.h"
#include "ValueAST.h"

#include <antlr/SemanticException.hpp>

#include <algorithm>

namespace {

typedef ClassFileTokenTypes T;

const char* const kObjectClass = "java/lang/Object";

}  // namespace

InterfaceImplBuilderBase::InterfaceImplBuilderBase(ProxyGenerator* generator, uint16_t level, SharedBuild* shared)
    : ClassBuilderBase(generator, level, shared)
{
}

InterfaceImplBuilderBase::InterfaceImplBuilderBase() = default;

InterfaceImplBuilderBase::~InterfaceImplBuilderBase() = default;

void InterfaceImplBuilderBase::initializeASTFactory(antlr::ASTFactory& factory)
{
    factory.setMaxNodeType(99);
}

// --- Class info -------------------------------------------------------------------------------

void InterfaceImplBuilderBase::beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags,
                                              const antlr::RefAST& classInfo)
{
    m_implClassName.clear();
    antlr::RefAST thisClass = copyNode(thisNode);
    thisClass->setType(T::THIS_CLASS);
    appendResult(thisClass);

    antlr::RefAST accessFlags = copyNode(flags);
    setShortValue(accessFlags, kAccPublic | kAccSuper);
    thisClass->setFirstChild(accessFlags);

    m_interfaceEntry = inputClassAt(shortValue(classInfo), "this_class");
    m_inputClassName = static_cast<const ClassEntry*>(m_interfaceEntry.get())->getClassName();
    if (m_inheritanceLevel == 0) {
        m_pShared->chain.clear();
        m_pShared->chain.push_back(m_inputClassName);
    }
    m_implClassName = derivedClassName(m_inputClassName, implClassPrefix);

    m_thisClassEntry = addInputClass(m_implClassName);
    m_thisClassNode = copyNode(classInfo);
    setShortValue(m_thisClassNode, m_thisClassEntry->getIndex());
    accessFlags->setNextSibling(m_thisClassNode);
}

void InterfaceImplBuilderBase::setSuperClass(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo)
{
    m_extendsNode = copyNode(extendsNode);
    m_thisClassNode->setNextSibling(m_extendsNode);
    if (superInfo && shortValue(superInfo) != 0) {
        m_superClassEntry = inputClassAt(shortValue(superInfo), "super_class");
        m_superClassNode = copyNode(superInfo);
    } else {
        // An interface without a super class gets java/lang/Object's.
        m_superClassEntry = addInputClass(kObjectClass);
        m_superClassNode = shortNode(T::CLASS_INFO, m_superClassEntry->getIndex());
    }
    m_extendsNode->setFirstChild(m_superClassNode);
}

void InterfaceImplBuilderBase::endClassInfo()
{
    m_implementsNode = emptyNode(T::IMPLEMENTS);
    m_extendsNode->setNextSibling(m_implementsNode);
}

void InterfaceImplBuilderBase::walkSuperInterface(const antlr::RefAST& classInfo)
{
    const EntryHandle entry = m_inputPool->at(shortValue(classInfo), kTagClass);
    const std::string name = entry ? static_cast<const ClassEntry*>(entry.get())->getClassName() : std::string();
    if (name.empty() || !enterChain(name))
        return;
    struct ChainScope {
        std::vector<std::string>& chain;
        ~ChainScope() { chain.pop_back(); }
    } scope{m_pShared->chain};

    ClassRepository repository;
    const antlr::RefAST tree = repository.loadClass(name, std::string());
    if (!tree) {
        std::vector<std::string>& missing = m_pShared->missingTypes;
        if (std::find(missing.begin(), missing.end(), name) == missing.end())
            missing.push_back(name);
        return;
    }
    walkNested(tree);
}

// --- Fields and methods -----------------------------------------------------------------------

void InterfaceImplBuilderBase::beginFields(const antlr::RefAST& fieldsNode)
{
    m_fieldsNode = copyNode(fieldsNode);
    appendResult(m_fieldsNode);
}

void InterfaceImplBuilderBase::beginMethods(const antlr::RefAST& methodsNode)
{
    m_methodsNode = copyNode(methodsNode);
    appendResult(m_methodsNode);
    makeInputMethod(kAccPublic, inputUtf8("<init>"), inputUtf8("()V"));
}

void InterfaceImplBuilderBase::addMethod(const antlr::RefAST& flags, const antlr::RefAST& name,
                                         const antlr::RefAST& signature)
{
    makeInputMethod(shortValue(flags), inputUtf8At(shortValue(name), "method name"),
                    inputUtf8At(shortValue(signature), "method descriptor"));
}

antlr::RefAST InterfaceImplBuilderBase::finishBuild()
{
    numberInputPool();
    collect(0, kAccStatic | kAccFinal | kAccPrivate);
    if (m_inheritanceLevel == 0)
        assemble();
    return m_resultFirst;
}

// --- The generated class ----------------------------------------------------------------------

void InterfaceImplBuilderBase::assemble()
{
    if (!m_thisClassEntry || !m_superClassEntry || !m_interfaceEntry || !m_methodsNode || !m_fieldsNode)
        throw antlr::SemanticException("the interface's tree is incomplete");

    // The class, its super class and its interface.
    const EntryHandle thisClass = appendOutputClass(m_thisClassEntry);
    setShortValue(m_thisClassNode, thisClass->getIndex());
    const EntryHandle superClass = appendOutputClass(m_superClassEntry);
    setShortValue(m_superClassNode, superClass->getIndex());
    const EntryHandle implemented = appendOutputClass(m_interfaceEntry);
    m_implementsNode->setFirstChild(shortNode(T::CLASS_INFO, implemented->getIndex()));

    // The name of every Code attribute.
    m_outputPool->append(EntryHandle(new Utf8Entry("Code")));

    // long peer;
    FieldInfoBuilder* peer = new FieldInfoBuilder(*m_outputPool, m_outputNames, 0, "peer", "J");
    m_peerField = peer;
    peer->setClassEntry(thisClass);
    peer->updateIndices();
    m_fieldsNode->setFirstChild(peer->build());
    setShortValue(m_fieldsNode, 1);

    for (const MemberHandle& member : m_methodBuilders) {
        MethodInfoBuilder* method = static_cast<MethodInfoBuilder*>(member.get());
        method->moveToPool(*m_outputPool, m_outputNames, false);
        method->setClassEntry(thisClass);
    }

    std::vector<MethodDescriptor> records;
    unsigned count = static_cast<unsigned>(m_methodBuilders.size());
    antlr::RefAST lastMethod;
    auto appendMethod = [&](const antlr::RefAST& tree) {
        if (lastMethod)
            lastMethod->setNextSibling(tree);
        else
            m_methodsNode->setFirstChild(tree);
        lastMethod = tree;
    };
    for (const MemberHandle& member : m_methodBuilders) {
        MethodInfoBuilder* method = static_cast<MethodInfoBuilder*>(member.get());
        if (method->getNameText() == "<init>") {
            const EntryHandle nameAndType =
                m_outputPool->append(EntryHandle(new NameAndTypeEntry(method->getName(), method->getDescriptor())));
            const EntryHandle superInit = m_outputPool->append(EntryHandle(new MethodrefEntry(superClass, nameAndType)));
            method->addCode(true, m_outputPool, superInit, thisClass, m_peerField);
            method->updateIndices();
            appendMethod(method->build());
            continue;
        }
        ++count;
        MemberHandle twin(method->makeNativeMethod(*m_outputPool, m_outputNames));
        twin->setClassEntry(thisClass);
        twin->updateIndices();
        appendMethod(twin->build());
        const EntryHandle twinRef =
            static_cast<MethodInfoBuilder*>(twin.get())->methodRef(*m_outputPool, thisClass, EntryHandle());
        method->addCode(false, m_outputPool, twinRef, thisClass, m_peerField);
        method->updateIndices();
        appendMethod(method->build());
        records.push_back(recordOf(*method));
        records.push_back(recordOf(*twin));
    }
    if (count > 0xffffu)
        throw antlr::SemanticException("the generated class has more than 65535 methods");

    antlr::RefAST lastEntry;
    for (const EntryHandle& entry : m_outputPool->getEntries()) {
        antlr::RefAST node = entry->toAST();
        if (lastEntry)
            lastEntry->setNextSibling(node);
        else
            m_constantPoolNode->setFirstChild(node);
        lastEntry = node;
    }
    setShortValue(m_methodsNode, static_cast<uint16_t>(count));
    setShortValue(m_constantPoolNode, static_cast<uint16_t>(m_outputPool->size() + 1));
    appendResult(shortNode(T::ATTRIBUTES, 0));

    for (const MethodDescriptor& record : records)
        recordMethod(record);
    if (m_pGenerator)
        m_pGenerator->setIsInterface(false);
}
