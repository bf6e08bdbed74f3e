// Failures the Oracle side reports itself and then goes on (an index or a
// sequence refused after its table exists): they go to the run's error
// policy when there is one, and to the trace otherwise.
#pragma once

#include <string_view>

#include "tk_exception.h"

// Reports `e` as a database error (level 0) under `context` and returns
// when the policy lets the work go on; the policy may end the run by
// raising tk_final_exception.
void ora_report(const tk_exception& e, std::u16string_view context);
