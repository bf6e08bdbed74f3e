// The two message tables of the error policy: Oracle codes (0x100000 plus
// the ORA number) and MS Access codes (0x10000 plus the DAO error number).
// The error handler is built from the Oracle table and then loads the
// MS Access one.
#pragma once

#include "tk_error_converter.h"

// Where users are told to turn for help; ends the text of code 68957.
inline constexpr char tk_support_address[] = "support@tolvane.dev";

inline constexpr int tk_oracle_error_count = 12;
inline constexpr int tk_access_error_count = 7;

extern const tk_error_row tk_oracle_errors[tk_oracle_error_count];
extern const tk_error_row tk_access_errors[tk_access_error_count];
