# cmake -DHEADER=<generated parser header> -P StaticAstFactory.cmake
# Declares the parser's initializeASTFactory static (see kavrin_antlr_grammar). Fails when the
# header declares no such member, so that a change of the tool's output cannot pass unnoticed.
file(READ "${HEADER}" text)
set(member "\tvoid initializeASTFactory( ANTLR_USE_NAMESPACE(antlr)ASTFactory& factory );")
string(FIND "${text}" "${member}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${HEADER}: no initializeASTFactory member to make static")
endif()
string(REPLACE "${member}" "\tstatic void initializeASTFactory( ANTLR_USE_NAMESPACE(antlr)ASTFactory& factory );" text "${text}")
file(WRITE "${HEADER}" "${text}")
