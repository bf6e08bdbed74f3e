// Failures the Oracle side reports itself and then goes on (an index, a
// sequence or a trigger refused after its table exists, a foreign key
// refused): they go to the reporter the program installs, normally its
// error policy, and to the trace.
#pragma once

#include <string_view>

#include "tk_exception.h"

// Receives the failure as a database error (level 0) and its context
// ("Index 'X' of table 'T'"); returns when the work is to go on, or raises
// (tk_final_exception) to end the run.
using ora_reporter = void (*)(const tk_exception& e, std::u16string_view context);

// Installs the reporter; null restores the default, which only traces.
void ora_set_reporter(ora_reporter reporter);

void ora_report(const tk_exception& e, std::u16string_view context);
