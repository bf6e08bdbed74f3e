// The dictionary views (USER_*), DUAL and V$VERSION.
#pragma once

#include "emu_query.h"

#include <string>
#include <vector>

namespace emu {

// Columns and SQLite text of a view readable by every user; false when
// `name` is no such view. Column names are given in the view's order.
bool view_columns(const std::string& name, const std::string& owner, const std::string& version,
                  size_t ident_limit, std::vector<src_col>& cols, std::string& sql);
// The rows of V$VERSION's BANNER column for an emulated version.
std::vector<std::string> banner_rows(const std::string& version);

}  // namespace emu
