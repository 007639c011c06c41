// The rules that the class-building walkers share (InterfaceImplBuilder.g, DelegatorBuilder.g):
// the build appends this file to each walker's own grammar (its options, members and classInfo
// rule) before ANTLR runs. The actions call the walker's base class (ClassBuilderBase and the
// walker's own base: beginMethods, addMethod, setSuperClass and finishBuild are the walker's).
//
// The rules match the shape of the input's class-file tree; their actions read the constant pool
// into entry objects, make the member builders, walk the super types with nested builders and, at
// the end of the walk, assemble the new class. Nothing of the fields, the attributes or the
// input's own list of super-interfaces reaches the generated class: their rules only check the
// shape (the attribute subtrees in one pass of ClassBuilderBase::checkAttributes).

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
        a:ATTRIBUTES { checkAttributes(a); checkClassAttributes(a); }
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

// The children of THIS_CLASS or THIS_INTERFACE (given as thisNode).
classHead [ANTLR_USE_NAMESPACE(antlr)RefAST thisNode]
    :   a:ACCESS_FLAGS
        c:CLASS_INFO { beginClassInfo(thisNode, a, c); }
        #(e:EXTENDS ( s:CLASS_INFO )? ) { setSuperClass(e, s); }
        interfaces
    ;

interfaces
    :   #(IMPLEMENTS ( c:CLASS_INFO { walkSuperType(c); } )* )
    ;

fields
    :   #(f:FIELDS { beginFields(f); } ( fieldInfo )* )
    ;

// The attributes of a field, of a method and of the class are checked as whole subtrees
// (checkAttributes): nothing of them reaches the generated class.
fieldInfo
    :   #(FIELD_INFO ACCESS_FLAGS NAME TYPE a:FIELD_ATTRIBUTES { checkAttributes(a); })
    ;

methods
    :   #(m:METHODS { beginMethods(m); } ( methodInfo )* )
    ;

methodInfo
    :   #(METHOD_INFO a:ACCESS_FLAGS n:NAME s:SIGNATURE { addMethod(a, n, s); }
            m:METHOD_ATTRIBUTES { checkAttributes(m); }
        )
    ;
