// Base of the generated InterfaceImplBuilder (grammar classgen/grammar/InterfaceImplBuilder.g):
// the state and the actions of the walker that turns the class-file tree of a Java interface
// into the class-file tree of a Java class implementing it (and all its super-interfaces):
//
//   antlr::ASTFactory factory;
//   InterfaceImplBuilder::initializeASTFactory(factory);
//   InterfaceImplBuilder builder(&generator);     // level 0, its own shared state
//   builder.setASTFactory(&factory);
//   builder.classFile(interfaceTree);             // antlr exceptions, ByteCodeException
//   antlr::RefAST implTree = builder.getAST();    // ready for ClassFileWriter
//
// For an interface pkg/I the class is pkg/JNIImplementationOfI, version 45.3, flags
// ACC_PUBLIC | ACC_SUPER, super class the interface's super class (java/lang/Object, also when
// the input names none), the one interface pkg/I, the long field "peer", a public constructor
// "<init>" "()V" calling the super class's, and for every method m of the interface and of its
// super-interfaces (by name and descriptor, the most derived declaration winning; static, final
// and private methods left out) a native twin "native0" + m with the descriptor "(J" + m's
// parameters and result, followed by m itself whose body passes the peer and the arguments to the
// twin. A default method m (and equals, hashCode or toString declared again) is followed by
// "default0" + m, public and synthetic, which runs the Java implementation that m overrides
// (invokespecial of I's m, or of java/lang/Object's): the C++ side calls it unless it overrides m.
// A class with a default method has version 52.0, the first that lets a class call a method of
// its interface that way. Methods come in byte-wise order of name followed by descriptor. Every
// super-interface is walked once, however many paths lead to it.
//
// At level 0 the builder records the methods of every group in the generator's method set (the
// forwarding method, its twin, its "default0" method; no filter applies) and clears the
// generator's is-interface flag. A super-interface that no module holds is skipped and named in
// getMissingTypes(); one that cannot be walked is skipped silently.
//
// Errors: the class-info rule ends any recognition error inside it (a class given instead of an
// interface) with antlr::ANTLRException "This is not an interface!"; other recognition errors
// and bad indices leave classFile as antlr exceptions, and so does a hierarchy deeper than
// ClassRepository::kMaxSuperTypeDepth; bytecode failures as ByteCodeException. The generator has
// then received nothing.
#pragma once

#include "ClassBuilderBase.h"

#include <set>
#include <string>

class InterfaceImplBuilderBase : public ClassBuilderBase {
 public:
  // The '/'-separated name of the generated class; meaningful after classFile.
  std::string getImplClassName() const { return m_derivedClassName; }

 protected:
  using ClassBuilderBase::ClassBuilderBase;

  // classInfo: THIS_INTERFACE copied as THIS_CLASS with flags 0x0021; the interface's and
  // the generated class's Class entries.
  void beginClassInfo(const antlr::RefAST& thisNode, const antlr::RefAST& flags, const antlr::RefAST& classInfo);
  // EXTENDS with its optional CLASS_INFO (null when absent): the generated class's super class.
  void setSuperClass(const antlr::RefAST& extendsNode, const antlr::RefAST& superInfo);
  // METHODS copied, and the constructor's builder.
  void beginMethods(const antlr::RefAST& methodsNode);
  void addMethod(const antlr::RefAST& flags, const antlr::RefAST& name, const antlr::RefAST& signature);
  // Numbers the input pool; at level 0 walks the ancestry, merges its methods and assembles
  // the class. The result.
  antlr::RefAST finishBuild();

 private:
  // The merged methods whose Java implementation the C++ side runs unless it overrides them:
  // default methods (bridges left out: they call the method they bridge to), and the methods of
  // java.lang.Object that an interface declares again.
  JavaDefaults javaDefaults() const;
};
