// Class-file writer: a tree walker over the class-file tree that ClassFileParser builds (or that
// a class builder makes by hand), writing the class file's bytes to an output stream, or, without
// a stream, only finding the class's interface and native-method flags.
//
// Each rule matches one part of the tree and then, in its actions, writes the matched nodes in
// class-file order; matching comes first, so a rule that fails while matching writes nothing of
// what it matched. Every rule catches its own recognition errors (defaultErrorHandler): it reports
// the error as one line on stderr, moves to the next sibling of the node where matching failed and
// returns there. The state, the output and the reports live in ClassFileWriterBase.

header "pre_include_hpp" {
// Generated from ClassFileWriter.g: do not edit.
}

header "post_include_hpp" {
#include "ClassFileWriterBase.h"

#include <cstdint>
#include <ostream>
}

options {
    language = "Cpp";
}

class ClassFileWriter extends TreeParser("ClassFileWriterBase");

options {
    importVocab = ClassFile;
    defaultErrorHandler = true;
    buildAST = false;
}

{
public:
    // A writer over a borrowed output stream; the caller keeps it alive during the walk and owns
    // it afterwards. (The constructor without arguments makes a walk-only writer.)
    explicit ClassFileWriter(std::ostream* output) : ClassFileWriterBase(output) {}
}

// The start rule, given the first of the seven top-level siblings (MAGIC_NUMBER).
classFile
    :   { beginWalk(); }
        magic version constantPool classInfo fields methods attributes
        { endWalk(); }
    ;

magic
    :   m:MAGIC_NUMBER { writeNode(m); }
    ;

version
    :   #(VERSION mi:MINOR ma:MAJOR)
        { writeNode(mi, 2); writeNode(ma, 2); }
    ;

// constant_pool_count as the node holds it, then every entry. A child that is no pool entry is
// reported and skipped; it keeps its slot in the index count, so the indices of the entries after
// it stay those of the tree.
constantPool
{ uint16_t index = 1; }
    :   #(cp:CONSTANT_POOL { writeNode(cp, 2); }
            constantPoolEntry[index] { ++index; flushOutput(); }
            (   options { generateAmbigWarnings = false; }
            :   constantPoolEntry[index] { ++index; flushOutput(); }
            |   bad:. { unexpectedPoolEntry(bad); ++index; }
            )*
            { if (_t != ANTLR_USE_NAMESPACE(antlr)nullAST && _t != ASTNULL) unexpectedPoolEntry(_t); }
        )
    ;

constantPoolEntry[uint16_t index]
    :   u:CONSTANT_UTF8 { writeUtf8Entry(u, index); }
    |   w:CONSTANT_UNICODE { writeUnicodeEntry(w); }
    |   i:CONSTANT_INTEGER { writeU1(3); writeNode(i, 4); }
    |   f:CONSTANT_FLOAT { writeU1(4); writeNode(f, 4); }
    |   l:CONSTANT_LONG { writeU1(5); writeNode(l, 8); }
    |   d:CONSTANT_DOUBLE { writeU1(6); writeNode(d, 8); }
    |   c:CONSTANT_CLASS { writeU1(7); writeNode(c, 2); }
    |   #(CONSTANT_STRING si:STRING_INDEX)
        { writeU1(8); writeNode(si, 2); }
    |   #(CONSTANT_FIELDREF fc:CLASS_INDEX fn:NAME_AND_TYPE_INDEX)
        { writeU1(9); writeNode(fc, 2); writeNode(fn, 2); }
    |   #(CONSTANT_METHODREF mc:CLASS_INDEX mn:NAME_AND_TYPE_INDEX)
        { writeU1(10); writeNode(mc, 2); writeNode(mn, 2); }
    |   #(CONSTANT_INTERFACEMETHODREF ic:CLASS_INDEX in:NAME_AND_TYPE_INDEX)
        { writeU1(11); writeNode(ic, 2); writeNode(in, 2); }
    |   #(CONSTANT_NAMEANDTYPE nn:NAME nt:TYPE)
        { writeU1(12); writeNode(nn, 2); writeNode(nt, 2); }
        // The second slot of a long or a double: nothing is written.
    |   CONSTANT_CONTINUED
        // MethodHandle, MethodType, Dynamic, InvokeDynamic, Module, Package: tag and body as read.
    |   o:ATTR_UNKNOWN { writeOpaqueEntry(o); }
    ;

// access_flags, this_class, super_class and the interface table; THIS_CLASS and THIS_INTERFACE
// write the same fields and differ only in the interface flag.
classInfo
    :   #(THIS_CLASS accessFlags
            c:CLASS_INFO { setInterface(false); writeNode(c, 2); }
            #(EXTENDS ( s:CLASS_INFO { writeNode(s, 2); } )? )
            interfaces
        )
    |   #(THIS_INTERFACE accessFlags
            ic:CLASS_INFO { setInterface(true); writeNode(ic, 2); }
            #(EXTENDS ( is:CLASS_INFO { writeNode(is, 2); } )? )
            interfaces
        )
    ;

accessFlags
    :   a:ACCESS_FLAGS { writeNode(a, 2); }
    ;

// interfaces_count is the number of children, counted here.
interfaces
    :   #(im:IMPLEMENTS { writeChildCount(im); }
            ( c:CLASS_INFO { writeNode(c, 2); } )*
        )
    ;

fields
    :   #(f:FIELDS { writeNode(f, 2); } ( fieldInfo )* )
    ;

fieldInfo
    :   #(FIELD_INFO a:ACCESS_FLAGS n:NAME t:TYPE
            { writeNode(a, 2); writeNode(n, 2); writeNode(t, 2); }
            fieldAttributes
        )
    ;

fieldAttributes
    :   #(l:FIELD_ATTRIBUTES { writeNode(l, 2); } ( attributeLength )* )
    ;

methods
    :   #(m:METHODS { writeNode(m, 2); } ( methodInfo )* )
    ;

// The class's own attributes.
attributes
    :   #(l:ATTRIBUTES { writeNode(l, 2); } ( attributeLength )* )
    ;

methodInfo
    :   #(METHOD_INFO a:ACCESS_FLAGS n:NAME s:SIGNATURE
            { noteMethodFlags(a); writeNode(a, 2); writeNode(n, 2); writeNode(s, 2); }
            methodAttributes
        )
    ;

methodAttributes
    :   #(l:METHOD_ATTRIBUTES { writeNode(l, 2); } ( attributeLength )* )
    ;

// One attribute of any list: its declared length goes on the length stack, which the attribute
// rule reads for the header and pops.
attributeLength
    :   #(len:ATTRIBUTE_INFO_LENGTH { pushLength(len); } attribute )
    ;

// One attribute subtree, chosen by its root. The header (name index, length) and the fixed fields
// are written once the root and the fields are matched; the length is popped before the entries,
// frames and nested attributes are walked.
attribute
    :   (   options { generateAmbigWarnings = false; }
            // A Code attribute whose subtree the parser has not built yet: the bytes it was
            // read from, where they are the bytes that its subtree gives.
        :   {isKeptCode(_t)}? kc:ATTR_CODE
            { writeKeptCode(kc); }
        |   #(ATTR_CODE ms:MAXSTACK ml:MAXLOCALS cb:CODE_BYTES
                {
                    writeAttributeHeader("Code");
                    writeNode(ms, 2);
                    writeNode(ml, 2);
                    writeCodeBytes(cb);
                    popLength();
                }
                #(ex:ATTR_EXCEPTIONS { writeNode(ex, 2); } ( exceptionTableEntry )* )
                #(da:DEBUG_ATTRIBUTES { writeNode(da, 2); } ( attributeLength )* )
            )
        |   cv:ATTR_CONSTANT_VALUE
            { writeAttributeHeader("ConstantValue"); writeNode(cv, 2); popLength(); }
        |   #(el:ATTR_EXCEPTIONS
                { writeAttributeHeader("Exceptions"); writeNode(el, 2); popLength(); }
                ( ec:EXCEPTION_CLASS { writeNode(ec, 2); } )*
            )
        |   #(lt:ATTR_LINE_NUMBER_TABLE
                { writeAttributeHeader("LineNumberTable"); writeNode(lt, 2); popLength(); }
                ( lineNumberEntry )*
            )
        |   #(vt:ATTR_LOCAL_VARIABLE_TABLE
                { writeAttributeHeader("LocalVariableTable"); writeNode(vt, 2); popLength(); }
                ( localVariableEntry )*
            )
        |   sf:ATTR_SOURCE_FILE
            { writeAttributeHeader("SourceFile"); writeNode(sf, 2); popLength(); }
        |   #(sm:ATTR_STACK_MAP
                { writeAttributeHeader("StackMap"); writeNode(sm, 2); popLength(); }
                ( stackMapFrame )*
            )
        |   #(ic:ATTR_INNER_CLASSES
                { writeAttributeHeader("InnerClasses"); writeNode(ic, 2); popLength(); }
                ( innerClass )*
            )
        |   ATTR_SYNTHETIC
            { writeAttributeHeader("Synthetic"); popLength(); }
        |   ATTR_DEPRECATED
            { writeAttributeHeader("Deprecated"); popLength(); }
        |   #(ATTR_PMG pn:NAME pc:CLASS_INFO)
            { writeAttributeHeader("PMGClass"); writeNode(pn, 2); writeNode(pc, 2); popLength(); }
        |   #(ATTR_SIGNATURE si:SIGNATURE_INDEX)
            { writeAttributeHeader("Signature"); writeNode(si, 2); popLength(); }
        |   #(ATTR_ENCLOSINGMETHOD emc:CLASS_INFO emm:METHOD_INFO)
            { writeAttributeHeader("EnclosingMethod"); writeNode(emc, 2); writeNode(emm, 2); popLength(); }
            // Any other attribute: its length is its byte count; the name child is read, not walked.
        |   un:ATTR_UNKNOWN
            { writeUnknownAttribute(un); popLength(); }
        )
    ;

exceptionTableEntry
    :   #(EXCEPTION_INFO s:START_PC e:END_PC h:HANDLER_PC c:CATCH_TYPE)
        { writeNode(s, 2); writeNode(e, 2); writeNode(h, 2); writeNode(c, 2); }
    ;

lineNumberEntry
    :   #(LINE_NUMBER_ENTRY s:START_PC l:LINE_NUMBER)
        { writeNode(s, 2); writeNode(l, 2); }
    ;

localVariableEntry
    :   #(LOCAL_VARIABLE_TABLE_ENTRY s:START_PC l:LENGTH n:NAME t:TYPE i:INDEX)
        { writeNode(s, 2); writeNode(l, 2); writeNode(n, 2); writeNode(t, 2); writeNode(i, 2); }
    ;

innerClass
    :   #(INNER_CLASS ii:INNER_CLASS_INFO oi:OUTER_CLASS_INFO n:INNER_CLASS_NAME a:INNER_ACCESS_FLAGS)
        { writeNode(ii, 2); writeNode(oi, 2); writeNode(n, 2); writeNode(a, 2); }
    ;

// offset, number_of_locals, the locals, number_of_stack_items, the stack items.
stackMapFrame
    :   #(ATTR_STACK_MAP stackMapLocals stackMapItems)
    ;

// The node holds the frame's code offset; the number of locals is counted.
stackMapLocals
    :   #(l:ATTR_STACK_MAP_LOCALS { writeNode(l, 2); writeChildCount(l); } ( verificationType )* )
    ;

stackMapItems
    :   #(s:ATTR_STACK_MAP_ITEMS { writeChildCount(s); } ( verificationType )* )
    ;

// The tag byte; Object (7) and Uninitialized (8) are followed by the u2 that their node holds,
// UninitializedThis (6) by nothing.
verificationType
    :   ITEM_BOGUS { writeU1(0); }
    |   ITEM_INTEGER { writeU1(1); }
    |   ITEM_FLOAT { writeU1(2); }
    |   ITEM_DOUBLE { writeU1(3); }
    |   ITEM_LONG { writeU1(4); }
    |   ITEM_NULL { writeU1(5); }
    |   ITEM_UNINITIALIZEDTHIS { writeU1(6); }
    |   o:ITEM_OBJECT { writeU1(7); writeNode(o, 2); }
    |   u:ITEM_UNINITIALIZED { writeU1(8); writeNode(u, 2); }
    ;
