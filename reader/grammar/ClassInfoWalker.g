// The class-info walker: a tree parser over the class-file tree that reports the kind of a class
// and each of its fields (with its constant value), methods and constructors to a ProxyGenerator,
// and follows the class's super class and, for a class, its interfaces: it loads each through the
// class repository and walks it with a nested walker one inheritance level deeper. Everything
// inherited is reported before the class's own members; the level goes with every report.
//
// The generator applies the member filters; the walker decides only whether the fields and
// methods of super types are reported at all (the exclude-inherited options, under the
// use-global-filter option). Constructors of super types are reported in any case.
//
// Every rule catches the recognition errors that arise in it: the error goes to the generator
// (ProxyGenerator::walkError), the position moves to the next sibling and the caller goes on.
// A super type that cannot be loaded is not walked: the generator is told
// (ProxyGenerator::superTypeMissing), and the walk goes on with the next super type and the
// class's own members. A super-type chain that leads back to a type on it (malformed class files)
// is cut there, and so is one that goes on past ClassRepository::kMaxSuperTypeDepth levels (the
// generator is told).

header "pre_include_hpp" {
#include "MemberRecords.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ProxyGenerator;

// What the walk of one class-file tree finds of the class itself, as the walker reports it before
// any filter: a later walk of the same tree replays it instead of walking the tree again, and
// follows the same super types anew.
struct ClassInfoWalk {
    struct Method {
        uint16_t flags;
        std::string name;
        std::string descriptor;
    };
    bool isInterface = false;
    // The name the class file gives the class ("" when its entry names none).
    std::string selfName;
    // The super class and, for a class, its interfaces: the names followed, in order.
    std::vector<std::string> superTypes;
    std::vector<FieldDescriptor> fields;
    // Methods and constructors, in class-file order.
    std::vector<Method> methods;
};
}

header "post_include_cpp" {
#include "ClassRepository.h"
#include "KeptByTree.h"
#include "NodeLinks.h"
#include "ProxyGenerator.h"
#include "ValueAST.h"

#include <antlr/ANTLRException.hpp>
#include <antlr/ASTFactory.hpp>
#include <antlr/NoViableAltException.hpp>

#include <algorithm>
#include <iostream>

ClassInfoWalker::ClassInfoWalker(ProxyGenerator* generator, int level) : ClassInfoWalker()
{
    m_pGenerator = generator;
    m_nLevel = level;
}

namespace {

// The 16-bit value of a ShortAST node (an index or access flags); 0 for any other node.
uint16_t shortOf(const antlr::AST* node)
{
    const ShortAST* value = nodeAs<ShortAST>(node);
    return value ? value->getValue() : 0;
}

uint16_t shortOf(const antlr::RefAST& node)
{
    return shortOf(node.get());
}

// The walks of the trees walked so far (keyed by the tree), kept while the repository keeps them:
// the super types that many classes share (java/lang/Object, java/util/AbstractCollection...) are
// walked once.
KeptByTree<const antlr::AST*, ClassInfoWalk>& keptWalks()
{
    static KeptByTree<const antlr::AST*, ClassInfoWalk> walks;
    return walks;
}

}  // namespace

const antlr::AST* ClassInfoWalker::poolNode(uint16_t index, int type) const
{
    if (index == 0 || index >= m_oPoolNodeList.size())
        return nullptr;
    const antlr::AST* node = m_oPoolNodeList[index];
    if (!node || node->getType() != type)
        return nullptr;
    return node;
}

void ClassInfoWalker::collectPool(const antlr::RefAST& pool)
{
    m_oPoolNodeList.assign(1, nullptr);
    const antlr::AST* entry = NodeLinks::firstChild(pool.get());
    for (; entry; entry = NodeLinks::nextSibling(entry)) {
        bool isEntry = true;
        const antlr::AST* keep = nullptr;
        // The children the entry must have, in order.
        int expected[2] = {0, 0};
        switch (entry->getType()) {
        case CONSTANT_UTF8:
        case CONSTANT_INTEGER:
        case CONSTANT_FLOAT:
        case CONSTANT_LONG:
        case CONSTANT_DOUBLE:
        case CONSTANT_CLASS:
            keep = entry;
            break;
        case CONSTANT_STRING:
            keep = entry;
            expected[0] = STRING_INDEX;
            break;
        case CONSTANT_FIELDREF:
        case CONSTANT_METHODREF:
        case CONSTANT_INTERFACEMETHODREF:
            expected[0] = CLASS_INDEX;
            expected[1] = NAME_AND_TYPE_INDEX;
            break;
        case CONSTANT_NAMEANDTYPE:
            expected[0] = NAME;
            expected[1] = TYPE;
            break;
        case CONSTANT_UNICODE:
        case CONSTANT_CONTINUED:
        case ATTR_UNKNOWN:  // a method handle, method type, dynamic, module or package entry
            break;
        default:
            isEntry = false;
            break;
        }
        // The entries end at the first node that is none.
        if (!isEntry)
            break;
        // An entry with the wrong children is reported and takes its slot empty, so that later
        // indices stay right.
        const antlr::AST* child = NodeLinks::firstChild(entry);
        for (const int type : expected) {
            if (!type)
                break;
            if (!child || child->getType() != type) {
                try {
                    match(antlr::RefAST(const_cast<antlr::AST*>(child)), type);
                } catch (antlr::RecognitionException& ex) {
                    reportError(ex);
                }
                keep = nullptr;
                break;
            }
            child = NodeLinks::nextSibling(child);
        }
        m_oPoolNodeList.push_back(keep);
    }
    if (m_oPoolNodeList.size() == 1)
        throw antlr::NoViableAltException(entry ? antlr::RefAST(const_cast<antlr::AST*>(entry)) : antlr::RefAST(ASTNULL));
}

bool ClassInfoWalker::utf8At(uint16_t index, std::string& text) const
{
    const StringAST* utf8 = nodeAs<StringAST>(poolNode(index, CONSTANT_UTF8));
    if (!utf8)
        return false;
    text = utf8->value();
    return true;
}

std::string ClassInfoWalker::classNameAt(const antlr::RefAST& classInfo) const
{
    std::string name;
    const antlr::AST* entry = poolNode(shortOf(classInfo), CONSTANT_CLASS);
    if (entry)
        utf8At(shortOf(entry), name);
    return name;
}

ConstValue ClassInfoWalker::constantValueAt(uint16_t index) const
{
    if (index == 0 || index >= m_oPoolNodeList.size() || !m_oPoolNodeList[index])
        return ConstValue();
    const antlr::AST* node = m_oPoolNodeList[index];
    switch (node->getType()) {
    case CONSTANT_INTEGER:
        if (const IntAST* v = nodeAs<IntAST>(node))
            return ConstValue(static_cast<int32_t>(v->getValue()));
        break;
    case CONSTANT_FLOAT:
        if (const FloatAST* v = nodeAs<FloatAST>(node))
            return ConstValue(static_cast<float>(v->getValue()));
        break;
    case CONSTANT_LONG:
        if (const LongAST* v = nodeAs<LongAST>(node))
            return ConstValue(static_cast<int64_t>(v->getValue()));
        break;
    case CONSTANT_DOUBLE:
        if (const DoubleAST* v = nodeAs<DoubleAST>(node))
            return ConstValue(static_cast<double>(v->getValue()));
        break;
    case CONSTANT_STRING: {
        const antlr::AST* child = NodeLinks::firstChild(node);
        std::string text;
        if (child && child->getType() == STRING_INDEX && utf8At(shortOf(child), text))
            return ConstValue(text);
        break;
    }
    default:
        break;
    }
    return ConstValue();
}

void ClassInfoWalker::enterClass(const antlr::RefAST& classInfo)
{
    ++m_nClassHeads;
    const std::string name = classNameAt(classInfo);
    if (m_pWalk)
        m_pWalk->selfName = name;
    if (!name.empty())
        m_oChain.push_back(name);
}

void ClassInfoWalker::reportError(const antlr::RecognitionException& ex)
{
    m_bWalkFailed = true;
    if (m_pGenerator)
        m_pGenerator->walkError(m_strTypeName, ex.toString());
}

void ClassInfoWalker::walk(const antlr::RefAST& tree)
{
    const uint64_t generation = ClassRepository::cacheGeneration();
    if (tree) {
        if (const std::shared_ptr<const ClassInfoWalk> kept = keptWalks().find(tree.get(), tree.get(), generation)) {
            replay(*kept);
            return;
        }
        m_pWalk = std::make_shared<ClassInfoWalk>();
    }
    classFile(tree);
    // Only a walk of one class head without any error is the same every time.
    if (m_pWalk && m_nClassHeads == 1 && !m_bWalkFailed) {
        m_pWalk->isInterface = m_bInterface;
        keptWalks().store(tree.get(), tree.get(), generation, std::move(m_pWalk));
    }
    m_pWalk.reset();
}

void ClassInfoWalker::replay(const ClassInfoWalk& kept)
{
    m_bInterface = kept.isInterface;
    if (m_nLevel == 0)
        m_pGenerator->setIsInterface(kept.isInterface);
    if (!kept.selfName.empty())
        m_oChain.push_back(kept.selfName);
    for (const std::string& superType : kept.superTypes)
        followSuperType(superType);
    for (const FieldDescriptor& field : kept.fields)
        reportField(field);
    for (const ClassInfoWalk::Method& method : kept.methods)
        reportMethod(method.flags, method.name, method.descriptor);
}

void ClassInfoWalker::followSuperType(const antlr::RefAST& classInfo)
{
    if (shortOf(classInfo) == 0)
        return;
    const std::string name = classNameAt(classInfo);
    if (name.empty())
        return;
    if (m_pWalk)
        m_pWalk->superTypes.push_back(name);
    followSuperType(name);
}

void ClassInfoWalker::followSuperType(const std::string& name)
{
    if (std::find(m_oChain.begin(), m_oChain.end(), name) != m_oChain.end()) {
        std::cerr << "cyclic inheritance: " << name << " is its own super type" << std::endl;
        return;
    }
    // Each level is walked on this thread's stack: a hierarchy deeper than the bound is refused.
    if (m_nLevel + 1 > static_cast<int>(ClassRepository::kMaxSuperTypeDepth)) {
        m_pGenerator->superTypesTooDeep(name, m_nLevel + 1);
        return;
    }
    ClassRepository repository;
    antlr::RefAST tree = repository.loadClass(name, std::string());
    if (!tree) {
        // Its members, and those of its own super types, are missing from the walk.
        m_pGenerator->superTypeMissing(name, repository.getLoadProblem());
        return;
    }
    antlr::ASTFactory factory;
    ClassInfoWalker nested(m_pGenerator, m_nLevel + 1);
    nested.m_strTypeName = name;
    ClassInfoWalker::initializeASTFactory(factory);
    nested.setASTFactory(&factory);
    nested.setSkipFields(m_bUseGlobalFilter && (m_bFieldsExcludeInherited || m_bSkipFields));
    nested.setSkipMethods(m_bUseGlobalFilter && (m_bMethodsExcludeInherited || m_bSkipMethods));
    // The name it was followed by goes on the chain as well as the name its file gives it, so that
    // a file that calls itself by another name cannot lead back to itself.
    nested.m_oChain = m_oChain;
    nested.m_oChain.push_back(name);
    try {
        nested.walk(tree);
    } catch (const antlr::ANTLRException&) {
        // A nested walk that fails reports nothing more; the walk of this class goes on.
    }
}

void ClassInfoWalker::reportField(const antlr::RefAST& flags, const antlr::RefAST& name, const antlr::RefAST& type,
                                  const ConstValue& value)
{
    FieldDescriptor field;
    field.setAccessFlags(shortOf(flags));
    std::string text;
    if (utf8At(shortOf(name), text))
        field.setName(std::move(text));
    if (utf8At(shortOf(type), text))
        field.setType(std::move(text));
    field.setConstValue(value);
    if (m_pWalk)
        m_pWalk->fields.push_back(field);
    reportField(field);
}

void ClassInfoWalker::reportField(const FieldDescriptor& field)
{
    if (!m_bSkipFields)
        m_pGenerator->addField(field, static_cast<int16_t>(m_nLevel));
}

void ClassInfoWalker::reportMethod(const antlr::RefAST& flags, const antlr::RefAST& name,
                                   const antlr::RefAST& signature)
{
    std::string methodName;
    std::string descriptor;
    utf8At(shortOf(name), methodName);
    utf8At(shortOf(signature), descriptor);
    if (m_pWalk)
        m_pWalk->methods.push_back({shortOf(flags), methodName, descriptor});
    reportMethod(shortOf(flags), std::move(methodName), std::move(descriptor));
}

void ClassInfoWalker::reportMethod(uint16_t accessFlags, std::string methodName, std::string descriptor)
{
    // Inherited native methods are reported as ordinary methods.
    if (m_nLevel > 0)
        accessFlags = static_cast<uint16_t>(accessFlags & ~kAccNative);
    MethodDescriptor method;
    method.setAccessFlags(accessFlags);
    const bool isConstructor = methodName == "<init>";
    const bool isInitializer = methodName == "<clinit>";
    method.setName(std::move(methodName));
    method.setSignature(std::move(descriptor));
    // A static method of an interface belongs to the interface alone: a class that implements
    // it, or an interface that extends it, does not have it.
    const bool staticOfSuperInterface = m_nLevel > 0 && m_bInterface && (accessFlags & kAccStatic) != 0;
    if (!isConstructor && !isInitializer) {
        if (!m_bSkipMethods && !staticOfSuperInterface)
            m_pGenerator->addMethod(method, static_cast<int16_t>(m_nLevel));
    } else if (isConstructor) {
        m_pGenerator->addConstructor(method, static_cast<int16_t>(m_nLevel));
    }
}
}

options {
    language = "Cpp";
}

class ClassInfoWalker extends TreeParser;

options {
    importVocab = ClassFile;
    buildAST = false;
    defaultErrorHandler = true;
}

{
public:
    // A walker that reports to the generator at the given inheritance level (0: the class being
    // generated).
    ClassInfoWalker(ProxyGenerator* generator, int level);

    // The member-filter options, set by the creator before the walk. Of them the walker reads
    // only use-global-filter and the two exclude-inherited options; the generator applies the
    // others itself.
    void setFieldsExcludeInherited(bool value) { m_bFieldsExcludeInherited = value; }
    void setMethodsExcludeInherited(bool value) { m_bMethodsExcludeInherited = value; }
    void setFieldsExcludeRegular(bool value) { m_bFieldsExcludeRegular = value; }
    void setMethodsExcludeRegular(bool value) { m_bMethodsExcludeRegular = value; }
    void setFieldsExcludePrivate(bool value) { m_bFieldsExcludePrivate = value; }
    void setMethodsExcludePrivate(bool value) { m_bMethodsExcludePrivate = value; }
    void setFieldsExcludeProtected(bool value) { m_bFieldsExcludeProtected = value; }
    void setMethodsExcludeProtected(bool value) { m_bMethodsExcludeProtected = value; }
    void setUseGlobalFilter(bool value) { m_bUseGlobalFilter = value; }
    // Set on nested walkers only: report no fields / no methods (constructors still).
    void setSkipFields(bool value) { m_bSkipFields = value; }
    void setSkipMethods(bool value) { m_bSkipMethods = value; }

    // Walks a class's tree as classFile does. A tree walked before without an error, while the
    // repository has kept its trees since (ClassRepository::cacheGeneration), is not walked
    // again: what its walk found of the class itself is reported anew and its super types are
    // followed anew, as a walk would.
    void walk(const antlr::RefAST& tree);

    // Marks the walk as one that met an error (it is not kept), then reports the error to the
    // generator.
    void reportError(const antlr::RecognitionException& ex) override;
    using antlr::TreeParser::reportError;

private:
    // The pool entry at an index when it has the token type, else null.
    const antlr::AST* poolNode(uint16_t index, int type) const;
    // Fills the pool-node list from the CONSTANT_POOL node's entries: index 0 empty, then one slot
    // per entry up to the first node that is no entry. An entry with the wrong children is
    // reported and left empty; a pool without entries throws the recognition error.
    void collectPool(const antlr::RefAST& pool);
    // The text of the CONSTANT_UTF8 entry at an index; false (text untouched) when there is none.
    bool utf8At(uint16_t index, std::string& text) const;
    // The '/'-separated class name that a CLASS_INFO node names; empty when it names none.
    std::string classNameAt(const antlr::RefAST& classInfo) const;
    // The constant of a ConstantValue attribute's index (kind 0 when it does not resolve).
    ConstValue constantValueAt(uint16_t index) const;
    // Records the walked class itself on the chain of super types being followed.
    void enterClass(const antlr::RefAST& classInfo);
    // Loads a super class or interface (named by its CLASS_INFO node, or by its name) and walks it
    // one level deeper.
    void followSuperType(const antlr::RefAST& classInfo);
    void followSuperType(const std::string& name);
    // The reports of a kept walk, in the order in which its walk made them.
    void replay(const ClassInfoWalk& kept);
    void reportField(const antlr::RefAST& flags, const antlr::RefAST& name, const antlr::RefAST& type,
                     const ConstValue& value);
    void reportField(const FieldDescriptor& field);
    void reportMethod(const antlr::RefAST& flags, const antlr::RefAST& name, const antlr::RefAST& signature);
    // flags as the class file gives them.
    void reportMethod(uint16_t flags, std::string name, std::string descriptor);

    ProxyGenerator* m_pGenerator = nullptr;
    // The '/'-separated name the walked type was followed by; empty for the class walked first.
    std::string m_strTypeName;
    // Indexed by constant-pool index: the entry node for UTF8, numeric, class and string entries,
    // null for index 0, the second slot of a long or double and every other entry. The walked
    // tree is held by the walk's caller, so the nodes are not counted here.
    std::vector<const antlr::AST*> m_oPoolNodeList;
    int m_nLevel = 0;
    // The walked type is an interface.
    bool m_bInterface = false;
    bool m_bUseGlobalFilter = true;
    bool m_bFieldsExcludeInherited = false;
    bool m_bFieldsExcludeRegular = false;
    bool m_bFieldsExcludePrivate = false;
    bool m_bFieldsExcludeProtected = false;
    bool m_bMethodsExcludeInherited = false;
    bool m_bMethodsExcludeRegular = false;
    bool m_bMethodsExcludePrivate = false;
    bool m_bMethodsExcludeProtected = false;
    bool m_bSkipFields = false;
    bool m_bSkipMethods = false;
    // '/'-separated names of the types from the walked class down to this one: the names their
    // files give them and the names they were followed by.
    std::vector<std::string> m_oChain;
    // What this walk finds, while walk() records it; the class heads walked; whether an error
    // was met.
    std::shared_ptr<ClassInfoWalk> m_pWalk;
    int m_nClassHeads = 0;
    bool m_bWalkFailed = false;
}

// The walk of one class: the constant pool, then the class head, fields and methods; every other
// top-level node (MAGIC_NUMBER, VERSION, ATTRIBUTES) is passed over.
classFile
    :   (   options { generateAmbigWarnings = false; }
        :   constantPool classInfo fields methods
        |   .
        )+
    ;

// The pool is read in one pass over its entries (collectPool), the hottest part of every walk.
constantPool
    :   pool:CONSTANT_POOL { collectPool(pool); }
    ;

classInfo
    :   #(  THIS_CLASS { if (m_nLevel == 0) m_pGenerator->setIsInterface(false); }
            accessFlags self:CLASS_INFO { enterClass(self); }
            #( EXTENDS ( sup:CLASS_INFO { followSuperType(sup); } )? )
            interfaces
        )
    |   #(  THIS_INTERFACE { m_bInterface = true; if (m_nLevel == 0) m_pGenerator->setIsInterface(true); }
            accessFlags iself:CLASS_INFO { enterClass(iself); }
            #( EXTENDS ( isuper:CLASS_INFO { followSuperType(isuper); } )? )
            // The super-interfaces (IMPLEMENTS) of an interface are not followed.
        )
    ;

accessFlags
    :   ACCESS_FLAGS
    ;

interfaces
    :   #( IMPLEMENTS ( c:CLASS_INFO { followSuperType(c); } )* )
    ;

fields
    :   #( FIELDS ( fieldInfo )* )
    ;

fieldInfo
{ ConstValue value; }
    :   #( FIELD_INFO a:ACCESS_FLAGS n:NAME t:TYPE value=fieldAttributes )
        { reportField(a, n, t, value); }
    ;

// The field's constant: the value of its ConstantValue attribute, wherever that stands.
fieldAttributes returns [ConstValue value]
{ ConstValue v; bool isConstant = false; }
    :   #( FIELD_ATTRIBUTES
            ( #( ATTRIBUTE_INFO_LENGTH v=attribute[&isConstant] )
              { if (isConstant) value = v; isConstant = false; }
            )*
        )
    ;

methods
    :   #( METHODS ( methodInfo )* )
    ;

// The method is reported from its head; its attributes yield nothing that is reported, so the
// METHOD_ATTRIBUTES subtree is passed over as one node (most of a class's nodes lie in it).
methodInfo
    :   #( METHOD_INFO a:ACCESS_FLAGS n:NAME s:SIGNATURE { reportMethod(a, n, s); } METHOD_ATTRIBUTES )
    ;

// One attribute subtree. Yields the constant of a ConstantValue attribute (and sets *isConstant),
// kind 0 for every other attribute.
attribute [bool* isConstant] returns [ConstValue value]
    :   #( ATTR_CODE MAXSTACK MAXLOCALS CODE_BYTES
            #( ATTR_EXCEPTIONS ( #( EXCEPTION_INFO START_PC END_PC HANDLER_PC CATCH_TYPE ) )* )
            #( DEBUG_ATTRIBUTES ( #( ATTRIBUTE_INFO_LENGTH nestedAttribute ) )* )
        )
    |   cv:ATTR_CONSTANT_VALUE { value = constantValueAt(shortOf(cv)); *isConstant = true; }
    |   #( ATTR_EXCEPTIONS ( EXCEPTION_CLASS )* )
    |   #( ATTR_LINE_NUMBER_TABLE ( #( LINE_NUMBER_ENTRY START_PC LINE_NUMBER ) )* )
    |   #( ATTR_LOCAL_VARIABLE_TABLE ( #( LOCAL_VARIABLE_TABLE_ENTRY START_PC LENGTH NAME TYPE INDEX ) )* )
    |   ATTR_SOURCE_FILE
    |   ATTR_SYNTHETIC
    |   ATTR_DEPRECATED
    |   ATTR_UNKNOWN
    |   #( ATTR_STACK_MAP ( stackMapFrame )* )
    |   #( ATTR_PMG NAME CLASS_INFO )
    |   #( ATTR_INNER_CLASSES
            ( #( INNER_CLASS INNER_CLASS_INFO OUTER_CLASS_INFO INNER_CLASS_NAME INNER_ACCESS_FLAGS ) )*
        )
    |   #( ATTR_SIGNATURE SIGNATURE_INDEX )
    |   #( ATTR_ENCLOSINGMETHOD CLASS_INFO METHOD_INFO )
    ;

// An attribute inside a Code attribute; its value is dropped.
nestedAttribute
{ bool ignored = false; ConstValue dropped; }
    :   dropped=attribute[&ignored]
    ;

stackMapFrame
    :   #( ATTR_STACK_MAP #( ATTR_STACK_MAP_LOCALS ( verificationItem )* ) #( ATTR_STACK_MAP_ITEMS ( verificationItem )* ) )
    ;

verificationItem
    :   ITEM_BOGUS
    |   ITEM_INTEGER
    |   ITEM_FLOAT
    |   ITEM_DOUBLE
    |   ITEM_LONG
    |   ITEM_NULL
    |   ITEM_UNINITIALIZEDTHIS
    |   ITEM_OBJECT
    |   ITEM_UNINITIALIZED
        // An item whose tag the parser did not know.
    |   TYPE
    ;
