// Interface implementation builder: a tree walker over the class-file tree of a Java interface
// that builds the class-file tree of a Java class implementing it, whose methods forward every
// call to a native method of a C++ peer (see InterfaceImplBuilderBase.h). The build appends the
// shared rules of ClassBuilderRules.g to this file.
//
// No rule catches recognition errors except the class-info rule, which turns every one of them
// into "This is not an interface!".

header "pre_include_hpp" {
// Generated from InterfaceImplBuilder.g and ClassBuilderRules.g: do not edit.
}

header "post_include_hpp" {
#include "InterfaceImplBuilderBase.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>
#include <antlr/RecognitionException.hpp>

#include <cstdint>
}

header "post_include_cpp" {
InterfaceImplBuilder::InterfaceImplBuilder(ProxyGenerator* generator, uint16_t level, SharedBuild* shared)
    : InterfaceImplBuilderBase(generator, level, shared)
{
}

void InterfaceImplBuilder::walkNested(const antlr::RefAST& tree, WalkedType& type)
{
    runNested<InterfaceImplBuilder>(tree, type);
}
}

options {
    language = "Cpp";
}

class InterfaceImplBuilder extends TreeParser("InterfaceImplBuilderBase");

options {
    importVocab = ClassFile;
    buildAST = false;
    defaultErrorHandler = false;
}

{
public:
    // A builder at `level` (0: the interface asked for) reporting to `generator` (not owned; may
    // be null), sharing the state of an enclosing builder (null: its own).
    explicit InterfaceImplBuilder(ProxyGenerator* generator, uint16_t level = 0, SharedBuild* shared = nullptr);

protected:
    void walkNested(const antlr::RefAST& tree, WalkedType& type) override;
}

// THIS_INTERFACE becomes THIS_CLASS; anything else is no interface.
classInfo
    :   #(ti:THIS_INTERFACE classHead[ti])
        { endClassInfo(); }
    ;
    exception
    catch [ANTLR_USE_NAMESPACE(antlr)RecognitionException& ex] {
        throw ANTLR_USE_NAMESPACE(antlr)ANTLRException("This is not an interface!");
    }
