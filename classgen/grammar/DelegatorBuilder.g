// Delegator builder: a tree walker over the class-file tree of a Java class (or interface) that
// builds the class-file tree of a Java class extending it (or implementing it), whose public
// methods forward every call to a native method of a C++ peer (see DelegatorBuilderBase.h). The
// build appends the shared rules of ClassBuilderRules.g to this file.
//
// No rule catches recognition errors: they leave classFile to the delegator writer.

header "pre_include_hpp" {
// Generated from DelegatorBuilder.g and ClassBuilderRules.g: do not edit.
}

header "post_include_hpp" {
#include "DelegatorBuilderBase.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>

#include <cstdint>
}

header "post_include_cpp" {
DelegatorBuilder::DelegatorBuilder(ProxyGenerator* generator, uint16_t level, SharedBuild* shared)
    : DelegatorBuilderBase(generator, level, shared)
{
}

void DelegatorBuilder::walkNested(const antlr::RefAST& tree, WalkedType& type)
{
    runNested<DelegatorBuilder>(tree, type);
}
}

options {
    language = "Cpp";
}

class DelegatorBuilder extends TreeParser("DelegatorBuilderBase");

options {
    importVocab = ClassFile;
    buildAST = false;
    defaultErrorHandler = false;
}

{
public:
    // A builder at `level` (0: the class asked for) reporting to `generator` (not owned; may be
    // null), sharing the state of an enclosing builder (null: its own).
    explicit DelegatorBuilder(ProxyGenerator* generator, uint16_t level = 0, SharedBuild* shared = nullptr);

protected:
    void walkNested(const antlr::RefAST& tree, WalkedType& type) override;
}

// A class or an interface; either becomes THIS_CLASS.
classInfo
    :   (   #(tc:THIS_CLASS classHead[tc])
        |   #(ti:THIS_INTERFACE classHead[ti])
        )
        { endClassInfo(); }
    ;
