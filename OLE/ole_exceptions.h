// The two failures of value conversion. Both are level 1 (user-visible)
// with a fixed message.
#pragma once

#include "tk_exception.h"

// A kind change that is not supported for the pair of kinds, or that fails
// on the value (out of range, unreadable text).
class ole_cast_exception : public tk_exception {
public:
    ole_cast_exception();
};

// A kind the operation cannot handle at all.
class ole_type_exception : public tk_exception {
public:
    ole_type_exception();
};
