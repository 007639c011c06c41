// Base of the generated DelegatorBuilder (grammar classgen/grammar/DelegatorBuilder.g): the state
// and the actions of the walker that turns the class-file tree of a Java class (or interface)
// into the class-file tree of a delegator, a Java class whose public methods forward every call to
// a native method of a C++ peer:
//
//   antlr::ASTFactory factory;
//   DelegatorBuilder::initializeASTFactory(factory);
//   DelegatorBuilder builder(&generator);        // level 0, its own shared state
//   builder.setASTFactory(&factory);
//   builder.classFile(classTree);                // antlr exceptions, ByteCodeException
//   antlr::RefAST delegatorTree = builder.getAST();
//
// For a class p/X the delegator is p/DelegatorX, version 45.3, flags ACC_PUBLIC | ACC_SUPER,
// extending X, with the long field "peer"; per public or protected constructor of X itself a public
// constructor of the same descriptor passing its arguments to X's; and per public method m of X,
// of its ancestors and of all their interfaces that is not static, final, native or a bridge (by
// name and descriptor, the most derived declaration winning; names and types of nested classes
// included) a native twin "native0" + m taking the peer first, followed by m forwarding to it
// (ABSTRACT dropped). Methods that differ in their results only share the twin of the one whose
// result fits the others'. A method whose nearest declaration along the chain of super classes is
// final, static or a bridge is never overridden, also when an interface declares it again. For an
// interface p/I the delegator p/DelegatorI extends I's super class (java/lang/Object), implements I
// and has the public constructor "<init>" "()V". Methods come in byte-wise order of name followed
// by descriptor. Every super type is walked once, however many paths lead to it.
//
// At level 0 the builder reports every generated constructor, forwarding method and native twin
// through ProxyGenerator::addDelegatorMethod (the forwarding method first, then its twin) and clears
// the generator's is-interface flag. A super type that no module holds is skipped and named in
// getMissingTypes(); one that cannot be walked is skipped silently.
//
// Errors: a final class and java/lang/Object are refused with antlr::ANTLRException (the class
// could not be extended), and so is a hierarchy deeper than ClassRepository::kMaxSuperTypeDepth;
// recognition errors and bad indices leave classFile as antlr exceptions, bytecode failures as
// ByteCodeException. The generator has then received nothing.
#pragma once

#include "ClassBuilderBase.h"

#include <set>
#include <string>
#include <vector>

class DelegatorBuilderBase : public ClassBuilderBase {
 public:
  // The '/'-separated name of the generated class; meaningful after classFile.
  std::string getDelegatorClassName() const { return m_derivedClassName; }

 protected:
  using ClassBuilderBase::ClassBuilderBase;

  // classInfo: THIS_CLASS or THIS_INTERFACE copied as THIS_CLASS with flags 0x0021; the
  // generated class's Class entry. Refuses a final class and java/lang/Object at level 0.
  void beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags, const antlr::RefAST& classInfo);
  // EXTENDS with its optional CLASS_INFO (null when absent); the super class is walked.
  void setSuperClass(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo);
  // METHODS copied; for an interface asked for, the default constructor's builder.
  void beginMethods(const antlr::RefAST& methodsNode);
  // A builder for a method the delegator may forward (or a public or protected constructor of
  // the class asked for); every other method is noted as declared.
  void addMethod(const antlr::RefAST& flags, const antlr::RefAST& name, const antlr::RefAST& signature);
  // Numbers the input pool; at level 0 walks the ancestry, merges its methods but the sealed
  // ones, assembles the class and reports it. The result.
  antlr::RefAST finishBuild();

 private:
  // Methods that differ in their results only (an interface that redeclares a method with a
  // narrower result; bridges of classes are sealed): C++ has one method for them, and every one
  // forwards to the twin of the one whose result fits all the others' results.
  Redirections covariantRedirections() const;

  // The keys (name followed by descriptor) the generated class must not declare: those that
  // the nearest declaration along its chain of super classes makes final, static or a
  // bridge, also when an interface declares them again.
  std::set<std::string> sealedKeys() const;

  // The walked type is an interface.
  bool m_bInterfaceInput = false;
};
