#include "ora_exception.h"

#include <string>

#include "tk_logger.h"

namespace {

// Room for the longest message the client produces (OCI_ERROR_MAXMSG_SIZE
// characters) in UTF-16, with its terminator.
constexpr size_t k_error_units = OCI_ERROR_MAXMSG_SIZE + 1;

std::u16string_view strip_line_ends(std::u16string_view text)
{
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.remove_suffix(1);
    return text;
}

}  // namespace

ora_exception::ora_exception(int32_t number, std::u16string_view text) : tk_exception(strip_line_ends(text), 0)
{
    code = static_cast<uint32_t>(number) | code_base;
}

bool ora_read_error(const ora_oci_api& oci, void* handle, ub4 handle_type, ub4 recordno, int32_t& oracle_error,
                    std::u16string& text)
{
    char16_t buffer[k_error_units] = {};
    sb4 number = 0;
    sword rc = oci.OCIErrorGet(handle, recordno, nullptr, &number, reinterpret_cast<OraText*>(buffer),
                               static_cast<ub4>(sizeof buffer - sizeof(char16_t)), handle_type);
    if (rc != OCI_SUCCESS && rc != OCI_SUCCESS_WITH_INFO) return false;
    size_t n = 0;
    while (n < k_error_units - 1 && buffer[n] != 0) ++n;
    text.assign(buffer, n);
    oracle_error = number;
    return true;
}

void ora_check(const ora_oci_api& oci, OCIError* errhp, sword status)
{
    if (status == OCI_INVALID_HANDLE) {
        tk_trace(3, "OCI call failed: invalid handle");
        TK_FAIL();
    }
    if (status != OCI_ERROR) return;
    int32_t number = 0;
    std::u16string text;
    if (!ora_read_error(oci, errhp, OCI_HTYPE_ERROR, 1, number, text)) {
        // A failure without a diagnostic record: still a failure.
        text = u"Oracle reported an error without a description";
    }
    tk_trace(1, u"Oracle error %d: %s", number, strip_line_ends(text));
    throw ora_exception(number, text);
}
