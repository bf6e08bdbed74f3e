// The parser of Access SELECT statements: tokens to jet_sql_query.
//
// Precedence follows Access (VBA's expression service): ^, unary -, * /,
// \, Mod, + -, &, then the comparisons (= <> < <= > >= Like Is Between In)
// left to right, then Not, And, Or, Xor, Eqv, Imp. Syntax errors raise
// DAO's numbers: 3075 inside an expression, 3131 in FROM, 3138 in ORDER
// BY, 3141 for a misplaced clause word, 3142 for text after the statement;
// a statement that is not a SELECT raises 3129, an action query 3219.
#pragma once

#include <memory>
#include <string_view>

#include "jet_sql_ast.h"

std::unique_ptr<jet_sql_query> jet_sql_parse(std::u16string_view sql);
