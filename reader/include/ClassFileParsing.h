// A class-file lexer and parser over one input, with the factory of the tree's nodes, set up as
// every reader of class files sets them up: the node classes registered with the factory and the
// token names published for the nodes' texts. The input must outlive it; parse with
// `parser.classFile(path)`.
#pragma once

#include "ClassFileLexer.hpp"
#include "ClassFileParser.hpp"
#include "ValueAST.h"

#include <antlr/ASTFactory.hpp>
#include <antlr/InputBuffer.hpp>

#include <istream>

struct ClassFileParsing {
  explicit ClassFileParsing(antlr::InputBuffer& input) : lexer(input), parser(lexer) { setUp(); }
  explicit ClassFileParsing(std::istream& input) : lexer(input), parser(lexer) { setUp(); }
  ClassFileParsing(const ClassFileParsing&) = delete;
  ClassFileParsing& operator=(const ClassFileParsing&) = delete;

  ClassFileLexer lexer;
  ClassFileParser parser;
  antlr::ASTFactory factory;

 private:
  void setUp() {
    ClassFileParser::initializeASTFactory(factory);
    parser.setASTFactory(&factory);
    setTokenNameTable(parser.getTokenNames());
  }
};
