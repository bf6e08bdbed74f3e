#include "ora_get_rowid.h"

#include <algorithm>

#include "ora_engine.h"
#include "tk_exception.h"
#include "tk_logger.h"

ora_get_rowid::ora_get_rowid() = default;

sb4 ora_get_rowid::cbf_no_data(void*, OCIBind*, ub4, ub4, void** buffer, ub4* length, ub1* piece, void** indicator)
{
    tk_trace(1, "ora_get_rowid::cbf_no_data");
    *buffer = nullptr;
    *length = 0;
    *indicator = nullptr;
    *piece = OCI_ONE_PIECE;
    return OCI_CONTINUE;
}

sb4 ora_get_rowid::cbf_get_data(void* ctx, OCIBind*, ub4 iter, ub4, void** buffer, ub4** length, ub1* piece,
                                void** indicator, ub2** rcode)
{
    tk_trace(1, "ora_get_rowid::cbf_get_data (iter=%d)", static_cast<int>(iter));
    auto* self = static_cast<ora_get_rowid*>(ctx);
    self->length_ = buffer_bytes;
    *buffer = self->rowid_;
    *length = &self->length_;
    *piece = OCI_ONE_PIECE;
    *indicator = nullptr;
    *rcode = nullptr;
    return OCI_CONTINUE;
}

std::u16string ora_get_rowid::do_insert(const std::u16string& head, bool commit)
{
    tk_trace(2, "ora_get_rowid::do_insert");
    ora_engine& engine = ora_engine::instance();
    std::u16string text = head + u") RETURNING ROWID INTO :1";
    tk_trace(3, u"Run SQL query: %s\n", text);
    ora_stmt stmt;
    stmt.prepare(text);
    std::fill(std::begin(rowid_), std::end(rowid_), u'\0');
    length_ = buffer_bytes;
    static const std::u16string placeholder = u":1";
    OCIBind* bind = nullptr;
    engine.check(engine.oci().OCIBindByName(
        stmt.get(), &bind, engine.err(), reinterpret_cast<const OraText*>(placeholder.data()),
        static_cast<sb4>(placeholder.size() * sizeof(char16_t)), rowid_, buffer_bytes, SQLT_STR, nullptr, nullptr,
        nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
    engine.check(engine.oci().OCIBindDynamic(bind, engine.err(), this, &cbf_no_data, this, &cbf_get_data));
    stmt.execute(1, commit ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT);
    TK_ASSERT(length_ < buffer_bytes);
    size_t units = length_ / sizeof(char16_t);
    std::u16string rowid(rowid_, units);
    while (!rowid.empty() && rowid.back() == u'\0') rowid.pop_back();
    tk_trace(1, u"GOT ROWID(1): %s, len=%d", rowid, static_cast<int>(length_));
    return rowid;
}
