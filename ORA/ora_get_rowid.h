// INSERT ... RETURNING ROWID INTO :1, the ROWID taken through dynamic binds.
#pragma once

#include <cstdint>
#include <string>

#include "ora_oci.h"
#include "ora_stmt.h"

class ora_get_rowid {
public:
    ora_get_rowid();

    // Runs `text` + ") RETURNING ROWID INTO :1" and returns the new row's
    // ROWID; the row is committed with it when `commit` is set.
    std::u16string do_insert(const std::u16string& text, bool commit = true);

private:
    static sb4 cbf_no_data(void* ctx, OCIBind* bind, ub4 iter, ub4 index, void** buffer, ub4* length, ub1* piece,
                           void** indicator);
    static sb4 cbf_get_data(void* ctx, OCIBind* bind, ub4 iter, ub4 index, void** buffer, ub4** length, ub1* piece,
                            void** indicator, ub2** rcode);

    static constexpr ub4 buffer_bytes = 512;
    ub4 length_ = buffer_bytes;
    char16_t rowid_[buffer_bytes / sizeof(char16_t)] = {};
};
