// Java class files: a byte-level lexer and an LL(1) parser that builds the class-file tree.
//
// The lexer makes one BYTE token of every input byte. The parser reads the class-file
// structure from those tokens, builds the tree of typed nodes (ValueAST.h), checks the
// structure with validating predicates (a failed one throws antlr's SemanticException whose
// text is the predicate as written here) and records the class name, the two flags and the
// version. The tree's shape is described in ClassFileParserBase.h.
//
// Rules read numbers with u1, u2, u4 and u8, which return the bytes as they lie in memory; a
// rule turns them into class-file values with swapBytes16/32 (ValueAST.h).
//
// Every rule builds its tree by hand and gives it back by assigning <rule>_AST, the variable that
// antlr returns as the rule's tree (what ## stands for): an assignment to ## would add antlr's
// bookkeeping of the rule's child list, of no use here, at a cost per node.

header "post_include_hpp" {
#include "ClassFileLexerBase.h"
#include "ClassFileParserBase.h"
#include "ValueAST.h"

#include <string>
#include <vector>
}

header "post_include_cpp" {
#include "JavaTypes.h"

#include <algorithm>
#include <cstring>
}

options {
    language = "Cpp";
}

// ---------------------------------------------------------------------------------------------
class ClassFileParser extends Parser("ClassFileParserBase");

options {
    k = 1;
    buildAST = true;
    defaultErrorHandler = false;
    exportVocab = ClassFile;
}

// The class-file vocabulary, types 4 to 99 in order, each with the node class that the factory
// registration gives it. The same numbers stand in ClassFileTokenTypes.txt, which the tree
// walkers import; the reader's tests check that the two agree.
tokens {
    MAGIC_NUMBER<AST=ByteArrayAST>;
    VERSION<AST=StringAST>;
    MAJOR<AST=ShortAST>;
    MINOR<AST=ShortAST>;
    CONSTANT_POOL<AST=ShortAST>;
    CONSTANT_UTF8<AST=StringAST>;
    CONSTANT_UNICODE<AST=WStringAST>;
    CONSTANT_INTEGER<AST=IntAST>;
    CONSTANT_FLOAT<AST=FloatAST>;
    CONSTANT_LONG<AST=LongAST>;
    CONSTANT_DOUBLE<AST=DoubleAST>;
    CONSTANT_CLASS<AST=ShortAST>;
    CONSTANT_STRING<AST=ShortAST>;
    CONSTANT_FIELDREF<AST=StringAST>;
    CONSTANT_METHODREF<AST=StringAST>;
    CONSTANT_INTERFACEMETHODREF<AST=StringAST>;
    CONSTANT_NAMEANDTYPE<AST=StringAST>;
    THIS_CLASS<AST=StringAST>;
    THIS_INTERFACE<AST=StringAST>;
    CLASS_INDEX<AST=ShortAST>;
    STRING_INDEX<AST=ShortAST>;
    NAME<AST=ShortAST>;
    NAME_AND_TYPE_INDEX<AST=ShortAST>;
    ACCESS_FLAGS<AST=ShortAST>;
    CLASS_INFO<AST=ShortAST>;
    TYPE<AST=ShortAST>;
    IMPLEMENTS<AST=StringAST>;
    EXTENDS<AST=StringAST>;
    FIELDS<AST=ShortAST>;
    FIELD_ATTRIBUTES<AST=ShortAST>;
    FIELD_INFO<AST=StringAST>;
    METHODS<AST=ShortAST>;
    METHOD_INFO<AST=StringAST>;
    METHOD_ATTRIBUTES<AST=ShortAST>;
    SIGNATURE<AST=ShortAST>;
    ATTRIBUTES<AST=ShortAST>;
    MAXSTACK<AST=ShortAST>;
    MAXLOCALS<AST=ShortAST>;
    CODE_BYTES<AST=ByteArrayAST>;
    ATTR_CODE<AST=StringAST>;
    EXCEPTION_INFO<AST=StringAST>;
    START_PC<AST=ShortAST>;
    END_PC<AST=ShortAST>;
    HANDLER_PC<AST=ShortAST>;
    CATCH_TYPE<AST=ShortAST>;
    ATTRIBUTE_INFO_LENGTH<AST=IntAST>;
    LINE_NUMBER<AST=ShortAST>;
    LINE_NUMBER_ENTRY<AST=StringAST>;
    EXCEPTION_CLASS<AST=ShortAST>;
    LENGTH<AST=ShortAST>;
    INDEX<AST=ShortAST>;
    LOCAL_VARIABLE_TABLE_ENTRY<AST=StringAST>;
    ATTR_LINE_NUMBER_TABLE<AST=ShortAST>;
    ATTR_EXCEPTIONS<AST=ShortAST>;
    ATTR_SOURCE_FILE<AST=ShortAST>;
    ATTR_CONSTANT_VALUE<AST=ShortAST>;
    ATTR_LOCAL_VARIABLE_TABLE<AST=ShortAST>;
    ATTR_STACK_MAP<AST=ShortAST>;
    ATTR_SYNTHETIC<AST=StringAST>;
    ATTR_DEPRECATED<AST=StringAST>;
    ATTR_PMG<AST=StringAST>;
    ATTR_INNER_CLASSES<AST=ShortAST>;
    ATTR_SIGNATURE<AST=StringAST>;
    ATTR_UNKNOWN<AST=ByteArrayAST>;
    ATTR_STACK_MAP_LOCALS<AST=ShortAST>;
    ATTR_STACK_MAP_ITEMS<AST=StringAST>;
    ATTR_ENCLOSINGMETHOD<AST=ShortAST>;
    ATTR_RUNTIMEVISIBLEANNOTATIONS<AST=ShortAST>;
    ANNOTATION<AST=StringAST>;
    ATTR_RUNTIMEINVISIBLEANNOTATIONS<AST=ShortAST>;
    TAG<AST=StringAST>;
    VALUE_INDEX<AST=ShortAST>;
    ARRAY_VALUES<AST=ShortAST>;
    ANNOTATION_DEFAULT<AST=StringAST>;
    VALUE_PAIR<AST=StringAST>;
    VALUE_PAIRS<AST=ShortAST>;
    VALUE<AST=StringAST>;
    SIGNATURE_INDEX<AST=ShortAST>;
    INNER_CLASS<AST=StringAST>;
    INNER_CLASS_INFO<AST=ShortAST>;
    OUTER_CLASS_INFO<AST=ShortAST>;
    INNER_CLASS_NAME<AST=ShortAST>;
    INNER_ACCESS_FLAGS<AST=ShortAST>;
    ITEM_BOGUS<AST=StringAST>;
    ITEM_INTEGER<AST=StringAST>;
    ITEM_FLOAT<AST=StringAST>;
    ITEM_DOUBLE<AST=StringAST>;
    ITEM_LONG<AST=StringAST>;
    ITEM_NULL<AST=StringAST>;
    ITEM_UNINITIALIZEDTHIS<AST=ShortAST>;
    ITEM_OBJECT<AST=StringAST>;
    ITEM_UNINITIALIZED<AST=ShortAST>;
    CONSTANT_CONTINUED<AST=StringAST>;
    DEBUG_ATTRIBUTES<AST=ShortAST>;
    UNKNOWN_ATTRIBUTE_NAME<AST=StringAST>;
    BYTE;
}

{
public:
    // Over no token source, for the token names alone.
    ClassFileParser() : ClassFileParserBase() {}

private:
    // A count or index node of a u2 read as it lies in memory.
    static ValueAST* shortNode(int type, unsigned short raw)
    {
        return new ShortAST(type, swapBytes16(raw));
    }
    static ValueAST* valueNode(int type, unsigned short value)
    {
        return new ShortAST(type, value);
    }
    // A node that stands for a structure and holds no value.
    static ValueAST* emptyNode(int type)
    {
        return new StringAST(type, std::string());
    }
}

// --- Numbers ---------------------------------------------------------------------------------
// Each returns the bytes as they lie in memory (the first byte lowest).

// One byte: the first character of a BYTE token's text.
u1! returns [unsigned char b = 0]
    :   { b = lookaheadByte(); } BYTE!
    ;

u2! returns [unsigned short w = 0]
{ unsigned int b1 = 0; }
    :   { b1 = lookaheadByte(); } BYTE!
        { w = static_cast<unsigned short>(b1 + lookaheadByte() * 256u); } BYTE!
    ;

u4! returns [unsigned int w = 0]
{ unsigned short w1 = 0, w2 = 0; }
    :   w1=u2 w2=u2 { w = w1 + w2 * 65536u; }
    ;

u8! returns [uint64_t w = 0]
{ unsigned int lo = 0, hi = 0; }
    :   lo=u4 hi=u4 { w = lo | (static_cast<uint64_t>(hi) << 32); }
    ;

// --- The class file --------------------------------------------------------------------------

classFile! [std::string path]
{ ParseScope scope(*this); }
    :   { beginClassFile(path); }
        m:magic v:version cp:constantPool ci:classInfo f:fields me:methods a:attributes
        {
            #m->setNextSibling(#v);
            #v->setNextSibling(#cp);
            #cp->setNextSibling(#ci);
            #ci->setNextSibling(#f);
            #f->setNextSibling(#me);
            #me->setNextSibling(#a);
        }
        EOF!
        { classFile_AST = #m; }
    ;

magic!
{ unsigned char ca = 0, fe = 0, ba = 0, be = 0; }
    :   ca=u1 fe=u1 ba=u1 be=u1
        {ca == 0xca && fe == 0xfe && ba == 0xba && be == 0xbe}?
        { magic_AST = treeRoot(std::vector<unsigned char>{ca, fe, ba, be}); }
    ;

version!
{ unsigned short minor = 0, major = 0; ValueAST* root = nullptr; }
    :   minor=u2 major=u2
        {
            std::memcpy(m_aVersion, &minor, 2);
            std::memcpy(m_aVersion + 2, &major, 2);
            root = emptyNode(VERSION);
            version_AST = antlr::RefAST(root);
        }
        {
            ChildAppender kids(root);
            kids.add(shortNode(MINOR, minor));
            kids.add(shortNode(MAJOR, major));
        }
    ;

// --- Constant pool ---------------------------------------------------------------------------

constantPool!
{ unsigned short count = 0, i = 1; ValueAST* root = nullptr; ChildAppender kids; }
    :   count=u2
        {
            count = swapBytes16(count);
            root = valueNode(CONSTANT_POOL, count);
            constantPool_AST = antlr::RefAST(root);
        }
        {
            kids = ChildAppender(root);
            m_oCPNodeList.push_back(antlr::nullAST);
        }
        (   options { greedy = true; }
        :   {i < count}? e:cpInfo
            {
                kids.add(#e);
                m_oCPNodeList.push_back(#e);
                ++i;
                const int t = #e->getType();
                if (t == CONSTANT_LONG || t == CONSTANT_DOUBLE) {
                    ++i;
                    kids.add(emptyNode(CONSTANT_CONTINUED));
                    m_oCPNodeList.push_back(antlr::nullAST);
                }
            }
        )*
    ;

// After a rule call, returnAST holds the tree that the called rule built.
cpInfo!
{ unsigned char tag = 0; }
    :   tag=u1
        (   options { generateAmbigWarnings = false; }
        :   {tag == 7}? constantClass { cpInfo_AST = returnAST; }
        |   {tag == 9}? constantFieldref { cpInfo_AST = returnAST; }
        |   {tag == 10}? constantMethodref { cpInfo_AST = returnAST; }
        |   {tag == 11}? constantInterfaceMethodref { cpInfo_AST = returnAST; }
        |   {tag == 8}? constantString { cpInfo_AST = returnAST; }
        |   {tag == 3}? constantInteger { cpInfo_AST = returnAST; }
        |   {tag == 4}? constantFloat { cpInfo_AST = returnAST; }
        |   {tag == 5}? constantLong { cpInfo_AST = returnAST; }
        |   {tag == 6}? constantDouble { cpInfo_AST = returnAST; }
        |   {tag == 12}? constantNameAndType { cpInfo_AST = returnAST; }
        |   {tag == 1}? constantUtf8 { cpInfo_AST = returnAST; }
        |   {tag == 2}? constantUnicode { cpInfo_AST = returnAST; }
        |   {tag == 15}? opaqueConstant[tag, 3] { cpInfo_AST = returnAST; }
        |   {tag == 16 || tag == 19 || tag == 20}? opaqueConstant[tag, 2] { cpInfo_AST = returnAST; }
        |   {tag == 17 || tag == 18}? opaqueConstant[tag, 4] { cpInfo_AST = returnAST; }
        )
    ;

constantClass!
{ unsigned short nameIndex = 0; }
    :   nameIndex=u2 { constantClass_AST = antlr::RefAST(shortNode(CONSTANT_CLASS, nameIndex)); }
    ;

constantFieldref!
{ unsigned short classIndex = 0, natIndex = 0; ValueAST* root = nullptr; }
    :   classIndex=u2 natIndex=u2
        { root = emptyNode(CONSTANT_FIELDREF); constantFieldref_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(CLASS_INDEX, classIndex));
            kids.add(shortNode(NAME_AND_TYPE_INDEX, natIndex));
        }
    ;

constantMethodref!
{ unsigned short classIndex = 0, natIndex = 0; ValueAST* root = nullptr; }
    :   classIndex=u2 natIndex=u2
        { root = emptyNode(CONSTANT_METHODREF); constantMethodref_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(CLASS_INDEX, classIndex));
            kids.add(shortNode(NAME_AND_TYPE_INDEX, natIndex));
        }
    ;

constantInterfaceMethodref!
{ unsigned short classIndex = 0, natIndex = 0; ValueAST* root = nullptr; }
    :   classIndex=u2 natIndex=u2
        { root = emptyNode(CONSTANT_INTERFACEMETHODREF); constantInterfaceMethodref_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(CLASS_INDEX, classIndex));
            kids.add(shortNode(NAME_AND_TYPE_INDEX, natIndex));
        }
    ;

constantString!
{ unsigned short stringIndex = 0; ValueAST* root = nullptr; }
    :   stringIndex=u2
        { root = emptyNode(CONSTANT_STRING); constantString_AST = antlr::RefAST(root); }
        { ChildAppender(root).add(shortNode(STRING_INDEX, stringIndex)); }
    ;

constantInteger!
{ unsigned int raw = 0; }
    :   raw=u4 { constantInteger_AST = antlr::RefAST(new IntAST(CONSTANT_INTEGER, static_cast<int32_t>(swapBytes32(raw)))); }
    ;

constantFloat!
{ unsigned int raw = 0; }
    :   raw=u4 { constantFloat_AST = antlr::RefAST(new FloatAST(CONSTANT_FLOAT, floatFromClassFile(raw))); }
    ;

constantLong!
{ unsigned int high = 0, low = 0; }
    :   high=u4 low=u4
        {
            const uint64_t value = (static_cast<uint64_t>(swapBytes32(high)) << 32) | swapBytes32(low);
            constantLong_AST = antlr::RefAST(new LongAST(CONSTANT_LONG, static_cast<int64_t>(value)));
        }
    ;

constantDouble!
{ uint64_t raw = 0; }
    :   raw=u8 { constantDouble_AST = antlr::RefAST(new DoubleAST(CONSTANT_DOUBLE, doubleFromClassFile(raw))); }
    ;

constantNameAndType!
{ unsigned short nameIndex = 0, descriptorIndex = 0; ValueAST* root = nullptr; }
    :   nameIndex=u2 descriptorIndex=u2
        { root = emptyNode(CONSTANT_NAMEANDTYPE); constantNameAndType_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(NAME, nameIndex));
            kids.add(shortNode(TYPE, descriptorIndex));
        }
    ;

constantUtf8!
{ unsigned short length = 0; std::string value; }
    :   length=u2
        {
            // The bytes that follow, up to the length: at the end of the input the entry keeps
            // what it has.
            length = swapBytes16(length);
            value.reserve(length);
            takeBytes(length, value);
        }
        { constantUtf8_AST = antlr::RefAST(new StringAST(CONSTANT_UTF8, std::move(value))); }
    ;

constantUnicode!
{ unsigned short count = 0, unit = 0; std::u16string value; }
    :   count=u2
        { count = swapBytes16(count); }
        (   options { greedy = true; }
        :   {count > 0}? unit=u2 { value.push_back(static_cast<char16_t>(swapBytes16(unit))); --count; }
        )*
        { constantUnicode_AST = antlr::RefAST(new WStringAST(CONSTANT_UNICODE, std::move(value))); }
    ;

// A MethodHandle, MethodType, Dynamic, InvokeDynamic, Module or Package entry, kept whole as
// its tag byte followed by its body of fixed size.
opaqueConstant! [unsigned char tag, int size]
{ std::vector<unsigned char> bytes(1, tag); }
    :   {
            for (int n = 0; n < size; ++n)
                bytes.push_back(u1());
            opaqueConstant_AST = antlr::RefAST(new ByteArrayAST(ATTR_UNKNOWN, std::move(bytes)));
        }
    ;

// --- Class info ------------------------------------------------------------------------------

classInfo!
{ ValueAST* root = nullptr; ValueAST* ext = nullptr; }
    :   af:accessFlags tc:thisClass
        { classNameKnown(#tc); }
        sc:superClass
        { loadSuperType(#sc); }
        ifs:interfaces
        {
            m_bIsInterface = (static_cast<ShortAST*>(#af.get())->getValue() & kAccInterface) != 0;
            root = emptyNode(m_bIsInterface ? THIS_INTERFACE : THIS_CLASS);
            classInfo_AST = antlr::RefAST(root);
        }
        {
            ChildAppender kids(root);
            kids.add(#af);
            kids.add(#tc);
            ext = emptyNode(EXTENDS);
            kids.add(ext);
            ChildAppender(ext).add(#sc);
            kids.add(#ifs);
        }
    ;

accessFlags!
{ unsigned short raw = 0; }
    :   raw=u2 { accessFlags_AST = antlr::RefAST(shortNode(ACCESS_FLAGS, raw)); }
    ;

thisClass!
{ unsigned short raw = 0; }
    :   raw=u2 { thisClass_AST = antlr::RefAST(shortNode(CLASS_INFO, raw)); }
    ;

superClass!
{ unsigned short raw = 0; }
    :   raw=u2 { superClass_AST = antlr::RefAST(shortNode(CLASS_INFO, raw)); }
    ;

interfaces!
{ unsigned short count = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   count=u2
        {
            count = swapBytes16(count);
            root = emptyNode(IMPLEMENTS);
            interfaces_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {count > 0}? e:interfaceEntry
            {
                kids.add(#e);
                loadSuperType(#e);
                --count;
            }
        )*
    ;

interfaceEntry!
{ unsigned short raw = 0; }
    :   raw=u2 { interfaceEntry_AST = antlr::RefAST(shortNode(CLASS_INFO, raw)); }
    ;

// --- Fields and methods ----------------------------------------------------------------------

fields!
{ unsigned short fields_count = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   fields_count=u2
        {
            fields_count = swapBytes16(fields_count);
            root = valueNode(FIELDS, fields_count);
            fields_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {fields_count != 0}? fi:fieldInfo { kids.add(#fi); --fields_count; }
        )*
        {fields_count==0}?
    ;

fieldInfo!
{ unsigned short flags = 0, nameIndex = 0, descriptorIndex = 0, attributes_count = 0; ValueAST* root = nullptr; ValueAST* list = nullptr; }
    :   flags=u2 nameIndex=u2 descriptorIndex=u2 attributes_count=u2
        {
            attributes_count = swapBytes16(attributes_count);
            root = emptyNode(FIELD_INFO);
            fieldInfo_AST = antlr::RefAST(root);
        }
        {
            ChildAppender kids(root);
            kids.add(shortNode(ACCESS_FLAGS, flags));
            kids.add(shortNode(NAME, nameIndex));
            kids.add(shortNode(TYPE, descriptorIndex));
            list = valueNode(FIELD_ATTRIBUTES, attributes_count);
            kids.add(list);
        }
        attributeList[list, attributes_count]
    ;

methods!
{ unsigned short methods_count = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   methods_count=u2
        {
            methods_count = swapBytes16(methods_count);
            root = valueNode(METHODS, methods_count);
            methods_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {methods_count != 0}? mi:methodInfo { kids.add(#mi); --methods_count; }
        )*
        {methods_count==0}?
    ;

methodInfo!
{ unsigned short flags = 0, nameIndex = 0, descriptorIndex = 0, attributes_count = 0; ValueAST* root = nullptr; ValueAST* list = nullptr; }
    :   flags=u2 nameIndex=u2 descriptorIndex=u2 attributes_count=u2
        {
            if (swapBytes16(flags) & kAccNative)
                m_bHasNativeMethods = true;
            attributes_count = swapBytes16(attributes_count);
            root = emptyNode(METHOD_INFO);
            methodInfo_AST = antlr::RefAST(root);
        }
        {
            ChildAppender kids(root);
            kids.add(shortNode(ACCESS_FLAGS, flags));
            kids.add(shortNode(NAME, nameIndex));
            kids.add(shortNode(SIGNATURE, descriptorIndex));
            list = valueNode(METHOD_ATTRIBUTES, attributes_count);
            kids.add(list);
        }
        attributeList[list, attributes_count]
    ;

// The attributes of a field or a method, appended to their list node.
attributeList! [ValueAST* list, unsigned short attributes_count]
{ ChildAppender kids(list); }
    :   (   options { greedy = true; }
        :   {attributes_count > 0}? at:attribute { kids.add(#at); --attributes_count; }
        )*
        {attributes_count==0}?
    ;

// The class's own attributes.
attributes!
{ unsigned short attributes_count = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   attributes_count=u2
        {
            attributes_count = swapBytes16(attributes_count);
            root = valueNode(ATTRIBUTES, attributes_count);
            attributes_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {attributes_count > 0}? at:attribute { kids.add(#at); --attributes_count; }
        )*
        {attributes_count == 0}?
    ;

// --- Attributes ------------------------------------------------------------------------------
// A Code attribute outside any other is parsed and checked whole, its nodes made in memory of
// their own and dropped again; the tree keeps a LazyCodeAST over its bytes instead, which builds
// the same nodes when they are first read (CodeDeferral in ClassFileParserBase.h).

attribute!
{
    CodeDeferral deferral(*this, returnAST);
    unsigned short attribute_name_index = 0;
    unsigned int attribute_length = 0;
    const std::string* name = nullptr;
    antlr::RefAST body;
    ValueAST* root = nullptr;
}
    :   attribute_name_index=u2
        { attribute_name_index = swapBytes16(attribute_name_index); }
        {m_oCPNodeList[attribute_name_index]->getType() == CONSTANT_UTF8}?
        {
            name = &static_cast<StringAST*>(m_oCPNodeList[attribute_name_index].get())->value();
            noteAttributeName(attribute_name_index);
        }
        attribute_length=u4
        { attribute_length = swapBytes32(attribute_length); }
        (   options { generateAmbigWarnings = false; }
        :   {*name == "Code"}? { deferral.begin(); } codeAttribute { body = deferral.end(); }
        |   {*name == "ConstantValue"}? constantValueAttribute { body = returnAST; }
        |   {*name == "Exceptions"}? exceptionsAttribute { body = returnAST; }
        |   {*name == "LineNumberTable"}? lineNumberTableAttribute { body = returnAST; }
        |   {*name == "LocalVariableTable"}? localVariableTableAttribute { body = returnAST; }
        |   {attribute_length == 2 && *name == "SourceFile"}? sourceFileAttribute { body = returnAST; }
        |   {*name == "StackMap"}? stackMapAttribute { body = returnAST; }
        |   {*name == "InnerClasses"}? innerClassesAttribute { body = returnAST; }
        |   {*name == "Synthetic"}? syntheticAttribute[attribute_length] { body = returnAST; }
        |   {*name == "Deprecated"}? deprecatedAttribute[attribute_length] { body = returnAST; }
        |   {*name == "PMGClass"}? pmgClassAttribute { body = returnAST; }
        |   {*name == "Signature"}? signatureAttribute { body = returnAST; }
        |   {*name == "EnclosingMethod"}? enclosingMethodAttribute { body = returnAST; }
        |   unknownAttribute[attribute_length]
            {
                body = returnAST;
                ChildAppender(static_cast<ValueAST*>(body.get())).add(new StringAST(UNKNOWN_ATTRIBUTE_NAME, *name));
            }
        )
        {
            root = new IntAST(ATTRIBUTE_INFO_LENGTH, static_cast<int32_t>(attribute_length));
            attribute_AST = antlr::RefAST(root);
        }
        { ChildAppender(root).add(body); }
    ;

codeAttribute!
{
    CodeNestingScope nesting(*this);
    unsigned short max_stack = 0, max_locals = 0, exception_table_length = 0, attribute_count = 0;
    unsigned int code_length = 0, codepos = 0;
    int exceptionpos = 0, attributepos = 0;
    std::vector<unsigned char> code;
    ValueAST* root = nullptr;
    antlr::RefAST table, debug;
    ChildAppender tableKids, debugKids;
}
    :   {m_nCodeNesting <= kMaxCodeNesting}?
        max_stack=u2 max_locals=u2 code_length=u4
        {
            code_length = swapBytes32(code_length);
            codepos = static_cast<unsigned int>(takeBytes(code_length, code));
        }
        {codepos == code_length}?
        exception_table_length=u2
        {
            exception_table_length = swapBytes16(exception_table_length);
            ValueAST* tableNode = valueNode(ATTR_EXCEPTIONS, exception_table_length);
            table = antlr::RefAST(tableNode);
            tableKids = ChildAppender(tableNode);
        }
        (   options { greedy = true; }
        :   {exceptionpos < exception_table_length}? e:exceptionTableEntry { tableKids.add(#e); ++exceptionpos; }
        )*
        {exceptionpos == ((int)exception_table_length & 0xffff)}?
        attribute_count=u2
        {
            attribute_count = swapBytes16(attribute_count);
            ValueAST* debugNode = valueNode(DEBUG_ATTRIBUTES, attribute_count);
            debug = antlr::RefAST(debugNode);
            debugKids = ChildAppender(debugNode);
        }
        (   options { greedy = true; }
        :   {attributepos < attribute_count}? at:attribute { debugKids.add(#at); ++attributepos; }
        )*
        {attributepos == ((int)attribute_count & 0xffff)}?
        {
            root = emptyNode(ATTR_CODE);
            codeAttribute_AST = antlr::RefAST(root);
        }
        {
            ChildAppender kids(root);
            kids.add(shortNode(MAXSTACK, max_stack));
            kids.add(shortNode(MAXLOCALS, max_locals));
            kids.add(new ByteArrayAST(CODE_BYTES, std::move(code)));
            kids.add(table);
            kids.add(debug);
        }
    ;

exceptionTableEntry!
{ unsigned short startPc = 0, endPc = 0, handlerPc = 0, catchType = 0; ValueAST* root = nullptr; }
    :   startPc=u2 endPc=u2 handlerPc=u2 catchType=u2
        { root = emptyNode(EXCEPTION_INFO); exceptionTableEntry_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(START_PC, startPc));
            kids.add(shortNode(END_PC, endPc));
            kids.add(shortNode(HANDLER_PC, handlerPc));
            kids.add(shortNode(CATCH_TYPE, catchType));
        }
    ;

constantValueAttribute!
{ unsigned short raw = 0; }
    :   raw=u2 { constantValueAttribute_AST = antlr::RefAST(shortNode(ATTR_CONSTANT_VALUE, raw)); }
    ;

exceptionsAttribute!
{ unsigned short number_of_exceptions = 0; unsigned short entrypos = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   number_of_exceptions=u2
        {
            number_of_exceptions = swapBytes16(number_of_exceptions);
            root = valueNode(ATTR_EXCEPTIONS, number_of_exceptions);
            exceptionsAttribute_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {entrypos < number_of_exceptions}? e:exceptionClass { kids.add(#e); ++entrypos; }
        )*
        // A list cut short by the end of the input is a truncated file, not a shorter list.
        {entrypos == number_of_exceptions}?
    ;

exceptionClass!
{ unsigned short index = 0; }
    :   index=u2
        { index = swapBytes16(index); }
        {index != 0}?
        { exceptionClass_AST = antlr::RefAST(valueNode(EXCEPTION_CLASS, index)); }
    ;

lineNumberTableAttribute!
{ unsigned short line_number_table_length = 0; int entrypos = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   line_number_table_length=u2
        {
            line_number_table_length = swapBytes16(line_number_table_length);
            root = valueNode(ATTR_LINE_NUMBER_TABLE, line_number_table_length);
            lineNumberTableAttribute_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {entrypos < line_number_table_length}? e:lineNumberEntry { kids.add(#e); ++entrypos; }
        )*
        {entrypos == ((int)line_number_table_length & 0xffff)}?
    ;

lineNumberEntry!
{ unsigned short startPc = 0, line = 0; ValueAST* root = nullptr; }
    :   startPc=u2 line=u2
        { root = emptyNode(LINE_NUMBER_ENTRY); lineNumberEntry_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(START_PC, startPc));
            kids.add(shortNode(LINE_NUMBER, line));
        }
    ;

localVariableTableAttribute!
{ unsigned short local_variable_table_length = 0; unsigned short entrypos = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   local_variable_table_length=u2
        {
            local_variable_table_length = swapBytes16(local_variable_table_length);
            root = valueNode(ATTR_LOCAL_VARIABLE_TABLE, local_variable_table_length);
            localVariableTableAttribute_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {entrypos < local_variable_table_length}? e:localVariableEntry { kids.add(#e); ++entrypos; }
        )*
        {entrypos == local_variable_table_length}?
    ;

localVariableEntry!
{ unsigned short startPc = 0, length = 0, nameIndex = 0, descriptorIndex = 0, index = 0; ValueAST* root = nullptr; }
    :   startPc=u2 length=u2 nameIndex=u2 descriptorIndex=u2 index=u2
        { root = emptyNode(LOCAL_VARIABLE_TABLE_ENTRY); localVariableEntry_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(START_PC, startPc));
            kids.add(shortNode(LENGTH, length));
            kids.add(shortNode(NAME, nameIndex));
            kids.add(shortNode(TYPE, descriptorIndex));
            kids.add(shortNode(INDEX, index));
        }
    ;

sourceFileAttribute!
{ unsigned short raw = 0; }
    :   raw=u2 { sourceFileAttribute_AST = antlr::RefAST(shortNode(ATTR_SOURCE_FILE, raw)); }
    ;

stackMapAttribute!
{ unsigned short frame_count = 0; unsigned short entrypos = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   frame_count=u2
        {
            frame_count = swapBytes16(frame_count);
            root = valueNode(ATTR_STACK_MAP, frame_count);
            stackMapAttribute_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {entrypos < frame_count}? f:stackMapFrame { kids.add(#f); ++entrypos; }
        )*
        {entrypos == frame_count}?
    ;

stackMapFrame!
{
    unsigned short offset = 0, number_of_locals = 0, number_of_stack_items = 0, entrypos = 0;
    ValueAST* root = nullptr;
    ValueAST* locals = nullptr;
    ValueAST* items = nullptr;
    ChildAppender localKids, itemKids;
}
    :   offset=u2 number_of_locals=u2
        {
            number_of_locals = swapBytes16(number_of_locals);
            root = emptyNode(ATTR_STACK_MAP);
            stackMapFrame_AST = antlr::RefAST(root);
        }
        {
            locals = shortNode(ATTR_STACK_MAP_LOCALS, offset);
            ChildAppender(root).add(locals);
            localKids = ChildAppender(locals);
        }
        (   options { greedy = true; }
        :   {entrypos < number_of_locals}? l:verificationType { localKids.add(#l); ++entrypos; }
        )*
        {entrypos == number_of_locals}?
        {
            items = emptyNode(ATTR_STACK_MAP_ITEMS);
            ValueAST::appendChild(root, locals, items);
            itemKids = ChildAppender(items);
            entrypos = 0;
        }
        number_of_stack_items=u2
        { number_of_stack_items = swapBytes16(number_of_stack_items); }
        (   options { greedy = true; }
        :   {entrypos < number_of_stack_items}? s:verificationType { itemKids.add(#s); ++entrypos; }
        )*
        {entrypos == number_of_stack_items}?
    ;

verificationType!
{ unsigned char tag = 0; unsigned short raw = 0; bool hasIndex = false; }
    :   tag=u1
        (   options { greedy = true; }
        :   {tag == 7 || tag == 8}? raw=u2 { hasIndex = true; }
        )?
        {
            if (tag <= 5) {
                verificationType_AST = antlr::RefAST(emptyNode(ITEM_BOGUS + tag));
            } else if (tag == 6) {
                verificationType_AST = antlr::RefAST(valueNode(ITEM_UNINITIALIZEDTHIS, 0));
            } else if (tag == 7 && hasIndex) {
                std::string index(2, '\0');
                std::memcpy(&index[0], &raw, 2);
                verificationType_AST = antlr::RefAST(new StringAST(ITEM_OBJECT, index));
            } else if (tag == 8 && hasIndex) {
                verificationType_AST = antlr::RefAST(shortNode(ITEM_UNINITIALIZED, raw));
            } else {
                verificationType_AST = antlr::RefAST(valueNode(TYPE, tag));
            }
        }
    ;

innerClassesAttribute!
{ unsigned short number_of_classes = 0; unsigned short entrypos = 0; ValueAST* root = nullptr; ChildAppender kids; }
    :   number_of_classes=u2
        {
            number_of_classes = swapBytes16(number_of_classes);
            root = valueNode(ATTR_INNER_CLASSES, number_of_classes);
            innerClassesAttribute_AST = antlr::RefAST(root);
        }
        { kids = ChildAppender(root); }
        (   options { greedy = true; }
        :   {entrypos < number_of_classes}? e:innerClass { kids.add(#e); ++entrypos; }
        )*
        {entrypos == number_of_classes}?
    ;

innerClass!
{ unsigned short inner = 0, outer = 0, innerName = 0, flags = 0; ValueAST* root = nullptr; }
    :   inner=u2 outer=u2 innerName=u2 flags=u2
        { root = emptyNode(INNER_CLASS); innerClass_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(INNER_CLASS_INFO, inner));
            kids.add(shortNode(OUTER_CLASS_INFO, outer));
            kids.add(shortNode(INNER_CLASS_NAME, innerName));
            kids.add(shortNode(INNER_ACCESS_FLAGS, flags));
        }
    ;

syntheticAttribute! [unsigned int length]
    :   {length == 0}?
        { syntheticAttribute_AST = antlr::RefAST(emptyNode(ATTR_SYNTHETIC)); }
    ;

deprecatedAttribute! [unsigned int length]
    :   {length == 0}?
        { deprecatedAttribute_AST = antlr::RefAST(emptyNode(ATTR_DEPRECATED)); }
    ;

pmgClassAttribute!
{ unsigned short first = 0, second = 0; ValueAST* root = nullptr; }
    :   first=u2 second=u2
        { root = emptyNode(ATTR_PMG); pmgClassAttribute_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(NAME, first));
            kids.add(shortNode(CLASS_INFO, second));
        }
    ;

signatureAttribute!
{ unsigned short raw = 0; ValueAST* root = nullptr; }
    :   raw=u2
        { root = emptyNode(ATTR_SIGNATURE); signatureAttribute_AST = antlr::RefAST(root); }
        { ChildAppender(root).add(shortNode(SIGNATURE_INDEX, raw)); }
    ;

enclosingMethodAttribute!
{ unsigned short classIndex = 0, methodIndex = 0; ValueAST* root = nullptr; }
    :   classIndex=u2 methodIndex=u2
        { root = emptyNode(ATTR_ENCLOSINGMETHOD); enclosingMethodAttribute_AST = antlr::RefAST(root); }
        {
            ChildAppender kids(root);
            kids.add(shortNode(CLASS_INFO, classIndex));
            kids.add(shortNode(METHOD_INFO, methodIndex));
        }
    ;

unknownAttribute! [unsigned int length]
{ unsigned int bytepos = 0; std::vector<unsigned char> bytes; }
    :   { bytepos = static_cast<unsigned int>(takeBytes(length, bytes)); }
        // A body cut short by the end of the input is a truncated file, not a shorter body.
        {bytepos == length}?
        { unknownAttribute_AST = antlr::RefAST(new ByteArrayAST(ATTR_UNKNOWN, std::move(bytes))); }
    ;

// ---------------------------------------------------------------------------------------------
class ClassFileLexer extends Lexer("ClassFileLexerBase");

options {
    k = 1;
    charVocabulary = '\u0000'..'\u00FF';
    importVocab = ClassFile;
    caseSensitive = true;
    testLiterals = false;
}

BYTE
    :   .
    ;
