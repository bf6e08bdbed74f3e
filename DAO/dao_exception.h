// A failure of the Access component as the MS Access source reports it.
//
// Built from the first entry of DBEngine.Errors of the registered engine:
// level 0, code 0x10000 + DAO's error number, DAO's text as the message.
// When that entry cannot be read the constructor raises a level-1
// tk_exception ("Unknown exception") instead.
#pragma once

#include <type_traits>

#include "jet_error.h"
#include "tk_exception.h"

class dao_exception : public tk_exception {
public:
    dao_exception();
    // The same report from a failure raised before any engine exists.
    explicit dao_exception(const jet_error& error);
    dao_exception(const dao_exception&) = default;
    dao_exception& operator=(const dao_exception&) = default;
    ~dao_exception() override;

    // DAO's error number (the low 16 bits of the code).
    int32_t number() const { return static_cast<int32_t>(code & 0xFFFFu); }
};

// Runs one call into the component; a jet_error it raises leaves as a
// dao_exception read from DBEngine.Errors, as every DAO call of the MS
// Access source is reported.
template <class F>
decltype(auto) dao_invoke(F&& call)
{
    try {
        return call();
    } catch (const jet_error&) {
        throw dao_exception();
    }
}

// The level-1 failure of a call that reported success without an object.
[[noreturn]] void dao_raise_unknown();
