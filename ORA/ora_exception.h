// Oracle errors as exceptions, and the check applied to OCI statuses.
#pragma once

#include <cstdint>
#include <string_view>

#include "ora_oci_library.h"
#include "tk_exception.h"

// An error reported by Oracle: level 0 (a database error), code = Oracle
// error number OR 0x100000, message = Oracle's own text ("ORA-00942: table
// or view does not exist") in the narrow encoding, without the line feed
// the client appends.
class ora_exception : public tk_exception {
public:
    static constexpr uint32_t code_base = 0x100000;

    ora_exception(int32_t oracle_error, std::u16string_view text);

    int32_t oracle_error() const { return static_cast<int32_t>(code & ~code_base); }
};

// Reads error record `recordno` (from 1) of an error or environment handle
// of a UTF-16 environment. Returns false when there is no such record.
bool ora_read_error(const ora_oci_api& oci, void* handle, ub4 handle_type, ub4 recordno, int32_t& oracle_error,
                    std::u16string& text);

// The status check. OCI_ERROR raises ora_exception from the first record of
// the error handle; OCI_INVALID_HANDLE means a handle of ours was not valid,
// an internal fault, and raises the toolkit assertion. Every other status
// (OCI_SUCCESS, OCI_SUCCESS_WITH_INFO, OCI_NO_DATA, OCI_NEED_DATA, ...)
// passes: callers that care about OCI_NO_DATA test it themselves.
void ora_check(const ora_oci_api& oci, OCIError* errhp, sword status);
