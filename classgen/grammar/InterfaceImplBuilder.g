// Interface implementation builder: a tree walker over the class-file tree of a Java interface
// that builds the class-file tree of a Java class implementing it, whose methods forward every
// call to a native method of a C++ peer (see InterfaceImplBuilderBase.h).
//
// The rules match the shape of the interface's tree; their actions read the constant pool into
// entry objects, make the member builders, walk the super-interfaces with nested builders and, at
// the end of the walk, assemble the new class. Nothing of the fields, the attributes or the
// interface's own list of super-interfaces reaches the generated class: their rules only check
// the shape. No rule catches recognition errors except the class-info rule, which turns every one
// of them into "This is not an interface!".

header "pre_include_hpp" {
// Generated from InterfaceImplBuilder.g: do not edit.
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

void InterfaceImplBuilder::walkNested(const antlr::RefAST& tree)
{
    antlr::ASTFactory factory;
    InterfaceImplBuilder::initializeASTFactory(factory);
    InterfaceImplBuilder nested(m_pGenerator, static_cast<uint16_t>(m_inheritanceLevel + 1), m_pShared);
    nested.setASTFactory(&factory);
    try {
        nested.classFile(tree);
    } catch (const antlr::ANTLRException&) {
        // A super-interface that cannot be walked adds nothing; the walk goes on.
    }
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
    void walkNested(const antlr::RefAST& tree) override;
}

// The start rule, given the first of the seven top-level siblings (MAGIC_NUMBER). Resets the
// builder, so that one builder may walk again.
classFile
    :   { beginBuild(); }
        m:MAGIC_NUMBER { appendResult(copyNode(m)); }
        version
        constantPool
        { numberInputPool(); }
        classInfo
        fields
        methods
        attributes
        { returnAST = finishBuild(); }
    ;

version
    :   #(v:VERSION MINOR MAJOR) { appendResult(versionNode(v)); }
    ;

// The pool's children while they are pool entries: one input entry each, in index order.
constantPool
    :   #(cp:CONSTANT_POOL { beginConstantPool(cp); }
            ( options { greedy = true; } : constantPoolEntry )+
        )
    ;

constantPoolEntry
    :   (   u:CONSTANT_UTF8 { addPoolEntry(u); }
        |   w:CONSTANT_UNICODE { addPoolEntry(w); }
        |   i:CONSTANT_INTEGER { addPoolEntry(i); }
        |   f:CONSTANT_FLOAT { addPoolEntry(f); }
        |   l:CONSTANT_LONG { addPoolEntry(l); }
        |   d:CONSTANT_DOUBLE { addPoolEntry(d); }
        |   c:CONSTANT_CLASS { addPoolEntry(c); }
        |   #(s:CONSTANT_STRING STRING_INDEX) { addPoolEntry(s); }
        |   #(fr:CONSTANT_FIELDREF CLASS_INDEX NAME_AND_TYPE_INDEX) { addPoolEntry(fr); }
        |   #(mr:CONSTANT_METHODREF CLASS_INDEX NAME_AND_TYPE_INDEX) { addPoolEntry(mr); }
        |   #(ir:CONSTANT_INTERFACEMETHODREF CLASS_INDEX NAME_AND_TYPE_INDEX) { addPoolEntry(ir); }
        |   #(nt:CONSTANT_NAMEANDTYPE NAME TYPE) { addPoolEntry(nt); }
            // The unusable second slot of a long or double.
        |   cc:CONSTANT_CONTINUED { addPoolEntry(cc); }
            // Method handle, method type, dynamic, invokedynamic, module, package: held as their
            // raw bytes, so that every later entry keeps its index.
        |   o:ATTR_UNKNOWN { addPoolEntry(o); }
        )
    ;

// THIS_INTERFACE becomes THIS_CLASS; anything else is no interface.
classInfo
    :   #(ti:THIS_INTERFACE
            a:ACCESS_FLAGS
            c:CLASS_INFO { beginClassInfo(ti, a, c); }
            #(e:EXTENDS ( s:CLASS_INFO )? ) { setSuperClass(e, s); }
            interfaces
        )
        { endClassInfo(); }
    ;
    exception
    catch [ANTLR_USE_NAMESPACE(antlr)RecognitionException& ex] {
        throw ANTLR_USE_NAMESPACE(antlr)ANTLRException("This is not an interface!");
    }

interfaces
    :   #(IMPLEMENTS ( c:CLASS_INFO { walkSuperInterface(c); } )* )
    ;

fields
    :   #(f:FIELDS { beginFields(f); } ( fieldInfo )* )
    ;

fieldInfo
    :   #(FIELD_INFO ACCESS_FLAGS NAME TYPE fieldAttributes)
    ;

fieldAttributes
    :   #(FIELD_ATTRIBUTES ( attributeLength )* )
    ;

methods
    :   #(m:METHODS { beginMethods(m); } ( methodInfo )* )
    ;

methodInfo
    :   #(METHOD_INFO a:ACCESS_FLAGS n:NAME s:SIGNATURE { addMethod(a, n, s); } methodAttributes)
    ;

methodAttributes
    :   #(METHOD_ATTRIBUTES ( attributeLength )* )
    ;

attributes
    :   #(ATTRIBUTES ( attributeLength )* )
    ;

attributeLength
    :   #(ATTRIBUTE_INFO_LENGTH attribute)
    ;

attribute
    :   #(ATTR_CODE MAXSTACK MAXLOCALS CODE_BYTES
            #(ATTR_EXCEPTIONS ( exceptionTableEntry )* )
            #(DEBUG_ATTRIBUTES ( attributeLength )* )
        )
    |   ATTR_CONSTANT_VALUE
    |   #(ATTR_EXCEPTIONS ( EXCEPTION_CLASS )* )
    |   #(ATTR_LINE_NUMBER_TABLE ( lineNumberEntry )* )
    |   #(ATTR_LOCAL_VARIABLE_TABLE ( localVariableEntry )* )
    |   ATTR_SOURCE_FILE
    |   #(ATTR_STACK_MAP ( stackMap )* )
    |   ATTR_SYNTHETIC
    |   ATTR_DEPRECATED
    |   #(ATTR_PMG NAME CLASS_INFO)
        // The nested-class records are not looked at.
    |   ATTR_INNER_CLASSES
    |   #(ATTR_SIGNATURE SIGNATURE_INDEX)
    |   #(ATTR_ENCLOSINGMETHOD CLASS_INFO METHOD_INFO)
    |   ATTR_UNKNOWN
    ;

exceptionTableEntry
    :   #(EXCEPTION_INFO START_PC END_PC HANDLER_PC CATCH_TYPE)
    ;

lineNumberEntry
    :   #(LINE_NUMBER_ENTRY START_PC LINE_NUMBER)
    ;

localVariableEntry
    :   #(LOCAL_VARIABLE_TABLE_ENTRY START_PC LENGTH NAME TYPE INDEX)
    ;

stackMap
    :   #(ATTR_STACK_MAP stackMapLocals stackMapItems)
    ;

stackMapLocals
    :   #(ATTR_STACK_MAP_LOCALS ( verificationType )* )
    ;

stackMapItems
    :   #(ATTR_STACK_MAP_ITEMS ( verificationType )* )
    ;

verificationType
    :   ITEM_BOGUS
    |   ITEM_INTEGER
    |   ITEM_FLOAT
    |   ITEM_DOUBLE
    |   ITEM_LONG
    |   ITEM_NULL
    |   ITEM_UNINITIALIZEDTHIS
    |   ITEM_OBJECT
    |   ITEM_UNINITIALIZED
    ;
