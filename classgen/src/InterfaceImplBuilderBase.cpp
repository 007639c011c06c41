// The actions of the interface implementation builder.
#include "InterfaceImplBuilderBase.h"

#include "ProxyGenerator.h"
#include "TypeMapping.h"

InterfaceImplBuilderBase::InterfaceImplBuilderBase(ProxyGenerator* generator, uint16_t level, SharedBuild* shared)
    : ClassBuilderBase(generator, level, shared)
{
}

InterfaceImplBuilderBase::InterfaceImplBuilderBase() = default;

InterfaceImplBuilderBase::~InterfaceImplBuilderBase() = default;

void InterfaceImplBuilderBase::beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags,
                                              const antlr::RefAST& classInfo)
{
    m_interfaceEntry = ClassBuilderBase::beginClassInfo(thisNode, flags, classInfo, implClassPrefix);
}

void InterfaceImplBuilderBase::setSuperClass(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo)
{
    // An interface without a super class gets java/lang/Object's.
    bool declared = false;
    m_superClassEntry = copyExtends(extendsNode, superInfo, declared);
}

void InterfaceImplBuilderBase::beginMethods(const antlr::RefAST& methodsNode)
{
    ClassBuilderBase::beginMethods(methodsNode, true);
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
    if (m_inheritanceLevel == 0) {
        std::vector<MethodDescriptor> records;
        assembleClass(false, false, records);
        for (const MethodDescriptor& record : records)
            recordMethod(record);
        if (m_pGenerator)
            m_pGenerator->setIsInterface(false);
    }
    return m_resultFirst;
}
