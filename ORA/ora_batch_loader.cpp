#include "ora_batch_loader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ora_exception.h"
#include "ora_type_map.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_field.h"
#include "udb_record.h"

namespace {

// How a column's values travel.
enum class bind_form {
    number,     // SQLT_VNU, 22 bytes per row
    date,       // SQLT_DAT, 7 bytes per row
    timestamp,  // UTF-16 text "YYYY-MM-DD HH24:MI:SS.FFFFFFF" through TO_TIMESTAMP
    text,       // UTF-16 text
    binary      // bytes
};

bool is_number_kind(ole_vartype vt)
{
    switch (vt) {
    case VT_BOOL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DECIMAL: return true;
    default: return false;
    }
}

bind_form form_of(const ora_batch_column& c)
{
    if (is_number_kind(c.vartype)) return bind_form::number;
    if (c.vartype == VT_DATE) return c.fraction_digits > 0 ? bind_form::timestamp : bind_form::date;
    if (ole_is_binary_vt(c.vartype)) return bind_form::binary;
    return bind_form::text;
}

size_t fixed_stride(bind_form f)
{
    return f == bind_form::number ? sizeof(ora_vnu) : f == bind_form::date ? 7 : 0;
}

std::u16string quoted(const std::u16string& name)
{
    return u"\"" + name + u"\"";
}

}  // namespace

// One column's values for the rows of a batch. Fixed forms keep `stride`
// bytes per row in `fixed`; variable forms keep every row's bytes one after
// the other in `arena`, with `offset` and `length` per row.
struct ora_batch_loader::column_buffer {
    bind_form form = bind_form::text;
    size_t stride = 0;
    std::vector<unsigned char> fixed;
    std::vector<unsigned char> arena;
    std::vector<size_t> offset;
    std::vector<ub4> length;
    std::vector<sb2> ind;
    OCIBind* bind = nullptr;

    size_t count() const { return ind.size(); }

    void push_null()
    {
        ind.push_back(OCI_IND_NULL);
        if (stride != 0) {
            fixed.resize(fixed.size() + stride);
        } else {
            offset.push_back(arena.size());
            length.push_back(0);
        }
    }
    unsigned char* push_fixed()
    {
        ind.push_back(0);
        fixed.resize(fixed.size() + stride);
        return fixed.data() + fixed.size() - stride;
    }
    void push_bytes(const void* data, size_t n)
    {
        ind.push_back(n == 0 ? OCI_IND_NULL : 0);
        offset.push_back(arena.size());
        length.push_back(static_cast<ub4>(n));
        const auto* p = static_cast<const unsigned char*>(data);
        arena.insert(arena.end(), p, p + n);
    }
    void push_text(std::u16string_view text) { push_bytes(text.data(), text.size() * 2); }
    // Keeps only the rows at positions `keep` (ascending).
    void keep_only(const std::vector<size_t>& keep)
    {
        column_buffer out;
        out.stride = stride;
        for (size_t k : keep) {
            out.ind.push_back(ind[k]);
            if (stride != 0) {
                out.fixed.insert(out.fixed.end(), fixed.begin() + k * stride, fixed.begin() + (k + 1) * stride);
            } else {
                out.offset.push_back(out.arena.size());
                out.length.push_back(length[k]);
                out.arena.insert(out.arena.end(), arena.begin() + offset[k], arena.begin() + offset[k] + length[k]);
            }
        }
        fixed.swap(out.fixed);
        arena.swap(out.arena);
        offset.swap(out.offset);
        length.swap(out.length);
        ind.swap(out.ind);
    }
    // Drops the rows from position n on (a row that failed half-way).
    void truncate(size_t n)
    {
        if (n >= count()) return;
        ind.resize(n);
        if (stride != 0) {
            fixed.resize(n * stride);
        } else {
            arena.resize(offset[n]);
            offset.resize(n);
            length.resize(n);
        }
    }
    void clear()
    {
        fixed.clear();
        arena.clear();
        offset.clear();
        length.clear();
        ind.clear();
    }
    size_t longest() const
    {
        ub4 m = 1;
        for (ub4 l : length) m = std::max(m, l);
        return m;
    }
};

namespace {

void put_date(unsigned char out[7], const ole_systemtime& t)
{
    out[0] = static_cast<unsigned char>(t.year / 100 + 100);
    out[1] = static_cast<unsigned char>(t.year % 100 + 100);
    out[2] = static_cast<unsigned char>(t.month);
    out[3] = static_cast<unsigned char>(t.day);
    out[4] = static_cast<unsigned char>(t.hour + 1);
    out[5] = static_cast<unsigned char>(t.minute + 1);
    out[6] = static_cast<unsigned char>(t.second + 1);
}

// "YYYY-MM-DD HH24:MI:SS.FFFFFFF": whole seconds from the calendar record,
// the 100-ns fraction beside it.
std::u16string timestamp_text(const ole_variant& v)
{
    const ole_systemtime& t = v.as_date();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u.%07u", unsigned{t.year}, unsigned{t.month},
                  unsigned{t.day}, unsigned{t.hour}, unsigned{t.minute}, unsigned{t.second},
                  unsigned{v.date_fraction()});
    return tk_from_utf8(buf);
}

// The bytes a text stands for in a binary column, as the row path writes
// them: a GUID's 16 bytes in memory order, or "0x" hexadecimal digits. An
// empty text is NULL. False for any other text.
bool text_bytes(const ole_variant& v, std::vector<uint8_t>& out)
{
    const std::u16string& text = v.as_wstring();
    out.clear();
    if (text.empty()) return true;
    std::u16string hex = ora_guid_hex(text);
    if (!hex.empty()) {
        auto digit = [](char16_t c) { return c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10; };
        for (size_t i = 0; i + 1 < hex.size(); i += 2)
            out.push_back(static_cast<uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
        return true;
    }
    std::span<const uint8_t> bytes = ora_value_bytes(v, out);
    if (bytes.empty()) return false;
    if (bytes.data() != out.data()) out.assign(bytes.begin(), bytes.end());
    return true;
}

}  // namespace

ora_batch_loader::ora_batch_loader(const ora_oci_api& oci, OCIEnv* env, OCISvcCtx* svc, OCIError* err,
                                   std::u16string table, std::vector<ora_batch_column> columns,
                                   std::vector<size_t> field_of_column, size_t batch_rows, size_t byte_budget)
    : oci_(oci), env_(env), svc_(svc), err_(err), table_(std::move(table)), columns_(std::move(columns)),
      field_of_column_(std::move(field_of_column)), batch_rows_(std::max<size_t>(batch_rows, 1)),
      byte_budget_(byte_budget)
{
    tk_trace(2, "ora_batch_loader::ctor(%s, %d)", tk_to_utf8(table_).c_str(), static_cast<int>(batch_rows_));
    TK_ASSERT(field_of_column_.size() == columns_.size());
    for (const ora_batch_column& c : columns_) {
        auto b = std::make_unique<column_buffer>();
        b->form = form_of(c);
        b->stride = fixed_stride(b->form);
        buffers_.push_back(std::move(b));
    }
    prepare();
}

ora_batch_loader::~ora_batch_loader()
{
    if (stmt_ != nullptr) oci_.OCIHandleFree(stmt_, OCI_HTYPE_STMT);
}

void ora_batch_loader::prepare()
{
    std::u16string names, values;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (i != 0) {
            names += u", ";
            values += u", ";
        }
        names += quoted(columns_[i].name);
        std::u16string ph = u":" + tk_from_utf8(std::to_string(i + 1));
        if (buffers_[i]->form == bind_form::timestamp)
            values += u"TO_TIMESTAMP(" + ph + u", 'YYYY-MM-DD HH24:MI:SS.FF7')";
        else
            values += ph;
    }
    sql_ = u"INSERT INTO " + quoted(table_) + u" (" + names + u") VALUES (" + values + u")";
    returns_rowids_ =
        std::any_of(columns_.begin(), columns_.end(), [](const ora_batch_column& c) { return c.is_lob(); });
    if (returns_rowids_) sql_ += u" RETURNING ROWID INTO :rid";
    empty_lobs_.assign(columns_.size(), {});
    tk_trace(3, "Run SQL query: %s\n", tk_to_utf8(sql_).c_str());
    ora_check(oci_, err_, oci_.OCIHandleAlloc(env_, reinterpret_cast<void**>(&stmt_), OCI_HTYPE_STMT, 0, nullptr));
    ora_check(oci_, err_,
              oci_.OCIStmtPrepare(stmt_, err_, reinterpret_cast<const OraText*>(sql_.data()),
                                  static_cast<ub4>(sql_.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
}

bool ora_batch_loader::bindable(const udb_record& record)
{
    const bool ok = stage(record);
    discard_staged();
    return ok;
}

bool ora_batch_loader::stage(const udb_record& record)
{
    TK_ASSERT(!held_);
    discard_staged();
    staged_bytes_mark_ = variable_bytes_;
    staged_ = true;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (!convert(i, record[field_of_column_[i]])) {
            discard_staged();
            return false;
        }
    }
    return true;
}

void ora_batch_loader::discard_staged()
{
    if (!staged_) return;
    staged_ = false;
    const size_t n = rows_.size();
    for (auto& b : buffers_) b->truncate(n);
    for (auto& rows : empty_lobs_)
        while (!rows.empty() && rows.back() >= n) rows.pop_back();
    while (!big_lobs_.empty() && big_lobs_.back().position >= n) big_lobs_.pop_back();
    variable_bytes_ = staged_bytes_mark_;
}

bool ora_batch_loader::queue_staged(uint64_t row_number)
{
    TK_ASSERT(staged_);
    staged_ = false;
    rows_.push_back(row_number);
    return rows_.size() >= batch_rows_ || variable_bytes_ >= byte_budget_;
}

bool ora_batch_loader::add(const udb_record& record, uint64_t row_number)
{
    TK_ASSERT(stage(record));
    return queue_staged(row_number);
}

// Appends one value to column i's buffer, converted as the row path would
// store it; false (with the column's buffer possibly one value longer, which
// discard_staged drops) when it cannot travel in an array.
bool ora_batch_loader::convert(size_t i, const ole_variant& v)
{
    const ora_batch_column& c = columns_[i];
    column_buffer& b = *buffers_[i];
    if (v.is_empty_or_null()) {
        b.push_null();
        return true;
    }
    switch (b.form) {
    case bind_form::number: {
        // A number Oracle cannot hold never reaches it: a NOT NULL column
        // takes its default, any other NULL.
        std::optional<std::string> text;
        if (ora_value_in_range(v)) {
            if (v.get_vt() == VT_BSTR) return false;
            text = ora_exact_number_text(v);
            if (!text) return false;
        } else if (c.not_null && !c.out_of_range_default.empty()) {
            text = c.out_of_range_default;
        }
        ora_vnu n;
        if (!text) {
            b.push_null();
        } else if (ora_number_encode(*text, n)) {
            std::memcpy(b.push_fixed(), n.data(), n.size());
        } else {
            // A default that is no number goes as NULL; a value of the
            // row that cannot be encoded goes the row's own way.
            if (ora_value_in_range(v)) return false;
            b.push_null();
        }
        return true;
    }
    case bind_form::date:
        if (v.get_vt() != VT_DATE) return false;
        put_date(b.push_fixed(), v.as_date());
        return true;
    case bind_form::timestamp:
        if (v.get_vt() != VT_DATE) return false;
        b.push_text(timestamp_text(v));
        break;
    case bind_form::binary: {
        if (v.get_vt() == VT_BSTR) {
            if (!text_bytes(v, scratch_)) return false;
            b.push_bytes(scratch_.data(), scratch_.size());
            break;
        }
        if (!v.is_binary()) return false;
        const uint8_t* bytes = nullptr;
        size_t n = v.get_bytes(&bytes);
        if (n > max_value_bytes) return hold_big_lob(i, bytes, n);
        if (n == 0 && c.is_lob() && c.not_null) return false;
        b.push_bytes(bytes, n);
        break;
    }
    case bind_form::text: {
        if (v.get_vt() != VT_BSTR) return false;
        const std::u16string& text = v.as_wstring();
        if (text.size() * 2 > max_value_bytes) return hold_big_lob(i, text.data(), text.size() * 2);
        if (text.empty() && c.is_lob() && c.not_null) return false;
        b.push_text(text);
        break;
    }
    }
    variable_bytes_ += b.length.back();
    // An empty LOB value travels as NULL and is made an empty LOB after.
    if (c.is_lob() && b.length.back() == 0) empty_lobs_[i].push_back(static_cast<ub4>(b.count() - 1));
    return true;
}

void ora_batch_loader::bind_all()
{
    if (returns_rowids_) {
        rowids_.assign(rows_.size() * rowid_units, u'\0');
        rowid_lengths_.assign(rows_.size(), 0);
        std::u16string ph = u":rid";
        OCIBind* bind = nullptr;
        ora_check(oci_, err_,
                  oci_.OCIBindByName(stmt_, &bind, err_, reinterpret_cast<const OraText*>(ph.data()),
                                     static_cast<sb4>(ph.size() * 2), nullptr, static_cast<sb4>(rowid_units * 2),
                                     SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
        ora_check(oci_, err_, oci_.OCIBindDynamic(bind, err_, this, &rowid_in, this, &rowid_out));
    }
    for (size_t i = 0; i < columns_.size(); ++i) {
        column_buffer& b = *buffers_[i];
        const ora_batch_column& c = columns_[i];
        std::u16string ph = u":" + tk_from_utf8(std::to_string(i + 1));
        const auto* name = reinterpret_cast<const OraText*>(ph.data());
        const sb4 name_len = static_cast<sb4>(ph.size() * 2);
        if (b.stride != 0) {
            ub2 dty = b.form == bind_form::number ? SQLT_VNU : SQLT_DAT;
            ora_check(oci_, err_,
                      oci_.OCIBindByName(stmt_, &b.bind, err_, name, name_len, b.fixed.data(),
                                         static_cast<sb4>(b.stride), dty, b.ind.data(), nullptr, nullptr, 0, nullptr,
                                         OCI_DEFAULT));
            continue;
        }
        ub2 dty = b.form == bind_form::binary ? (c.is_lob() ? SQLT_LBI : SQLT_BIN)
                                              : (c.is_lob() && b.form == bind_form::text ? SQLT_LNG : SQLT_CHR);
        ora_check(oci_, err_,
                  oci_.OCIBindByName(stmt_, &b.bind, err_, name, name_len, nullptr, static_cast<sb4>(b.longest()), dty,
                                     nullptr, nullptr, nullptr, 0, nullptr, OCI_DATA_AT_EXEC));
        ora_check(oci_, err_, oci_.OCIBindDynamic(b.bind, err_, &b, &in_bind, nullptr, nullptr));
        // National text columns: the text must not pass through the
        // database character set on its way in.
        if (b.form == bind_form::text && c.national) {
            ub1 form = SQLCS_NCHAR;
            ora_check(oci_, err_, oci_.OCIAttrSet(b.bind, OCI_HTYPE_BIND, &form, 0, OCI_ATTR_CHARSET_FORM, err_));
        }
    }
}

int32_t ora_batch_loader::in_bind(void* ctx, OCIBind*, ub4 iter, ub4, void** buf, ub4* len, ub1* piece, void** ind)
{
    auto* b = static_cast<column_buffer*>(ctx);
    if (iter >= b->count()) return OCI_ERROR;
    *buf = b->arena.data() + b->offset[iter];
    *len = b->length[iter];
    *piece = OCI_ONE_PIECE;
    *ind = &b->ind[iter];
    return OCI_CONTINUE;
}

int32_t ora_batch_loader::rowid_in(void*, OCIBind*, ub4, ub4, void** buf, ub4* len, ub1* piece, void** ind)
{
    *buf = nullptr;
    *len = 0;
    *piece = OCI_ONE_PIECE;
    *ind = nullptr;
    return OCI_CONTINUE;
}

int32_t ora_batch_loader::rowid_out(void* ctx, OCIBind*, ub4 iter, ub4, void** buf, ub4** len, ub1* piece, void** ind,
                                    ub2** rcode)
{
    auto* self = static_cast<ora_batch_loader*>(ctx);
    if (iter >= self->rowid_lengths_.size()) return OCI_ERROR;
    *buf = self->rowids_.data() + iter * rowid_units;
    self->rowid_lengths_[iter] = static_cast<ub4>(rowid_units * 2);
    *len = &self->rowid_lengths_[iter];
    *piece = OCI_ONE_PIECE;
    *ind = nullptr;
    *rcode = nullptr;
    return OCI_CONTINUE;
}

bool ora_batch_loader::has_empty_lobs() const
{
    return std::any_of(empty_lobs_.begin(), empty_lobs_.end(),
                       [](const std::vector<ub4>& rows) { return !rows.empty(); });
}

// One array UPDATE per LOB column that had empty values, over the ROWIDs of
// those rows that went in; the last one commits the batch.
void ora_batch_loader::fill_empty_lobs(const ora_batch_outcome& outcome, bool commit)
{
    std::vector<bool> failed(rows_.size(), false);
    for (const ora_row_failure& f : outcome.failures)
        for (size_t k = 0; k < rows_.size(); ++k)
            if (rows_[k] == f.row) failed[k] = true;
    std::vector<size_t> todo;
    for (size_t i = 0; i < columns_.size(); ++i)
        if (!empty_lobs_[i].empty()) todo.push_back(i);
    for (size_t t = 0; t < todo.size(); ++t) {
        size_t i = todo[t];
        std::vector<char16_t> ids;
        for (ub4 k : empty_lobs_[i])
            if (!failed[k])
                ids.insert(ids.end(), rowids_.begin() + k * rowid_units, rowids_.begin() + (k + 1) * rowid_units);
        bool last = commit && t + 1 == todo.size();
        size_t count = ids.size() / rowid_units;
        std::u16string text = u"UPDATE " + quoted(table_) + u" SET " + quoted(columns_[i].name) + u" = " +
                              (buffers_[i]->form == bind_form::binary ? u"EMPTY_BLOB()" : u"EMPTY_CLOB()") +
                              u" WHERE ROWID = :1";
        OCIStmt* stmt = nullptr;
        ora_check(oci_, err_, oci_.OCIHandleAlloc(env_, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr));
        struct release {
            const ora_oci_api& oci;
            OCIStmt* h;
            ~release() { oci.OCIHandleFree(h, OCI_HTYPE_STMT); }
        } guard{oci_, stmt};
        ora_check(oci_, err_,
                  oci_.OCIStmtPrepare(stmt, err_, reinterpret_cast<const OraText*>(text.data()),
                                      static_cast<ub4>(text.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
        if (count == 0) {
            if (last) ora_check(oci_, err_, oci_.OCITransCommit(svc_, err_, OCI_DEFAULT));
            continue;
        }
        OCIBind* bind = nullptr;
        ora_check(oci_, err_,
                  oci_.OCIBindByPos(stmt, &bind, err_, 1, ids.data(), static_cast<sb4>(rowid_units * 2), SQLT_STR,
                                    nullptr, nullptr, nullptr, 0, nullptr, OCI_DEFAULT));
        ora_check(oci_, err_,
                  oci_.OCIStmtExecute(svc_, stmt, err_, static_cast<ub4>(count), 0, nullptr, nullptr,
                                      last ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT));
    }
}

// A LOB value too large for one bound buffer: the row travels with the
// column NULL (made an empty LOB with the others), and the value is
// written through the locator of that row alone after the array.
bool ora_batch_loader::hold_big_lob(size_t i, const void* data, size_t n)
{
    const ora_batch_column& c = columns_[i];
    // Not for a NOT NULL column, which the NULL would fail, nor for one
    // that is no LOB (the value cannot fit it: the row's own path says so).
    if (!c.is_lob() || c.not_null) return false;
    column_buffer& b = *buffers_[i];
    b.push_bytes(nullptr, 0);
    const auto* p = static_cast<const unsigned char*>(data);
    big_lobs_.push_back({b.count() - 1, i, std::vector<unsigned char>(p, p + n)});
    variable_bytes_ += n;
    empty_lobs_[i].push_back(static_cast<ub4>(b.count() - 1));
    return true;
}

void ora_batch_loader::write_big_lobs(ora_batch_outcome& outcome)
{
    for (const big_lob& l : big_lobs_) {
        const uint64_t row = rows_[l.position];
        bool failed = std::any_of(outcome.failures.begin(), outcome.failures.end(),
                                  [row](const ora_row_failure& f) { return f.row == row; });
        if (failed) continue;
        try {
            write_lob(l);
        } catch (const ora_exception& e) {
            // The row stays with an empty LOB and counts as failed, as when
            // the row path meets the error; a lost session fails the batch.
            const int32_t code = e.oracle_error();
            if (code == 3113 || code == 3114 || code == 3135) throw;
            outcome.failures.push_back({row, code, tk_from_ansi(e.message)});
        }
    }
    std::sort(outcome.failures.begin(), outcome.failures.end(),
              [](const ora_row_failure& a, const ora_row_failure& b) { return a.row < b.row; });
}

void ora_batch_loader::write_lob(const big_lob& l)
{
    const ora_batch_column& c = columns_[l.column];
    const bool text = buffers_[l.column]->form == bind_form::text;
    std::u16string sql = u"SELECT " + quoted(c.name) + u" FROM " + quoted(table_) + u" WHERE ROWID = :1 FOR UPDATE";
    tk_trace(3, "Run SQL query: %s\n", tk_to_utf8(sql).c_str());
    OCIStmt* stmt = nullptr;
    OCILobLocator* locator = nullptr;
    ora_check(oci_, err_, oci_.OCIHandleAlloc(env_, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr));
    struct release {
        const ora_oci_api& oci;
        OCIStmt* h;
        OCILobLocator*& lob;
        ~release()
        {
            if (lob != nullptr) oci.OCIDescriptorFree(lob, OCI_DTYPE_LOB);
            oci.OCIHandleFree(h, OCI_HTYPE_STMT);
        }
    } guard{oci_, stmt, locator};
    ora_check(oci_, err_, oci_.OCIDescriptorAlloc(env_, reinterpret_cast<void**>(&locator), OCI_DTYPE_LOB, 0, nullptr));
    ora_check(oci_, err_,
              oci_.OCIStmtPrepare(stmt, err_, reinterpret_cast<const OraText*>(sql.data()),
                                  static_cast<ub4>(sql.size() * 2), OCI_NTV_SYNTAX, OCI_DEFAULT));
    OCIBind* bind = nullptr;
    ora_check(oci_, err_,
              oci_.OCIBindByPos(stmt, &bind, err_, 1, rowids_.data() + l.position * rowid_units,
                                static_cast<sb4>(rowid_units * 2), SQLT_STR, nullptr, nullptr, nullptr, 0, nullptr,
                                OCI_DEFAULT));
    OCIDefine* define = nullptr;
    ora_check(oci_, err_,
              oci_.OCIDefineByPos(stmt, &define, err_, 1, &locator, -1, text ? SQLT_CLOB : SQLT_BLOB, nullptr, nullptr,
                                  nullptr, OCI_DEFAULT));
    sword rc = oci_.OCIStmtExecute(svc_, stmt, err_, 1, 0, nullptr, nullptr, OCI_DEFAULT);
    if (rc == OCI_NO_DATA) throw ora_exception(1403, u"ORA-01403: no data found");
    ora_check(oci_, err_, rc);
    void* data = const_cast<unsigned char*>(l.bytes.data());
    const ub4 bytes = static_cast<ub4>(l.bytes.size());
    if (text) {
        // UTF-16 whatever the locale; the amount counts code units.
        ub1 form = SQLCS_IMPLICIT;
        ora_check(oci_, err_, oci_.OCILobCharSetForm(env_, err_, locator, &form));
        ub4 amount = bytes / 2;
        ora_check(oci_, err_,
                  oci_.OCILobWrite(svc_, err_, locator, &amount, 1, data, bytes, OCI_ONE_PIECE, nullptr, nullptr,
                                   OCI_UTF16ID, form));
    } else {
        ub4 amount = bytes;
        ora_check(oci_, err_,
                  oci_.OCILobWrite(svc_, err_, locator, &amount, 1, data, bytes, OCI_ONE_PIECE, nullptr, nullptr, 0,
                                   SQLCS_IMPLICIT));
    }
}

ora_batch_outcome ora_batch_loader::flush(bool commit)
{
    tk_trace(2, "ora_batch_loader::flush(%d)", static_cast<int>(rows_.size()));
    TK_ASSERT(!held_);
    ora_batch_outcome outcome;
    discard_staged();
    if (rows_.empty()) return outcome;
    try {
        outcome = execute(commit);
    } catch (...) {
        reset();
        throw;
    }
    if (!commit && !outcome.whole_batch_failed) {
        held_ = true;
        return outcome;
    }
    reset();
    return outcome;
}

void ora_batch_loader::release_held()
{
    held_ = false;
    reset();
}

ora_batch_outcome ora_batch_loader::resend_held(uint64_t before, const std::vector<uint64_t>& skip)
{
    tk_trace(2, "ora_batch_loader::resend_held(%d)", static_cast<int>(before));
    TK_ASSERT(held_);
    held_ = false;
    ora_batch_outcome outcome;
    try {
        ora_check(oci_, err_, oci_.OCITransRollback(svc_, err_, OCI_DEFAULT));
        std::vector<size_t> keep;
        for (size_t k = 0; k < rows_.size(); ++k)
            if (rows_[k] < before && std::find(skip.begin(), skip.end(), rows_[k]) == skip.end()) keep.push_back(k);
        if (!keep.empty()) {
            compact(keep);
            outcome = execute(false);
        }
    } catch (...) {
        reset();
        throw;
    }
    reset();
    return outcome;
}

// Keeps only the rows at positions `keep` (ascending) of the batch.
void ora_batch_loader::compact(const std::vector<size_t>& keep)
{
    for (auto& b : buffers_) b->keep_only(keep);
    std::vector<uint64_t> rows;
    for (size_t k : keep) rows.push_back(rows_[k]);
    rows_ = std::move(rows);
    for (auto& lobs : empty_lobs_) {
        std::vector<ub4> moved;
        for (ub4 at : lobs) {
            auto it = std::find(keep.begin(), keep.end(), static_cast<size_t>(at));
            if (it != keep.end()) moved.push_back(static_cast<ub4>(it - keep.begin()));
        }
        lobs = std::move(moved);
    }
    std::vector<big_lob> big;
    for (big_lob& l : big_lobs_) {
        auto it = std::find(keep.begin(), keep.end(), l.position);
        if (it == keep.end()) continue;
        l.position = static_cast<size_t>(it - keep.begin());
        big.push_back(std::move(l));
    }
    big_lobs_ = std::move(big);
}

ora_batch_outcome ora_batch_loader::execute(bool commit)
{
    ora_batch_outcome outcome;
    outcome.sent = rows_.size();
    bind_all();
    const bool fix_lobs = has_empty_lobs();
    sword rc = oci_.OCIStmtExecute(svc_, stmt_, err_, static_cast<ub4>(rows_.size()), 0, nullptr, nullptr,
                                   OCI_BATCH_ERRORS | (fix_lobs || !commit ? 0 : OCI_COMMIT_ON_SUCCESS));
    if (rc == OCI_ERROR) {
        // The call failed as a whole: nothing of it is stored.
        int32_t code = 0;
        std::u16string text;
        ora_read_error(oci_, err_, OCI_HTYPE_ERROR, 1, code, text);
        tk_trace(3, "Batch of %d rows failed: %s", static_cast<int>(rows_.size()), tk_to_utf8(text).c_str());
        outcome.whole_batch_failed = true;
        for (uint64_t row : rows_) outcome.failures.push_back({row, code, text});
        return outcome;
    }
    ora_check(oci_, err_, rc);
    collect_row_errors(outcome);
    std::sort(outcome.failures.begin(), outcome.failures.end(),
              [](const ora_row_failure& a, const ora_row_failure& b) { return a.row < b.row; });
    if (fix_lobs) {
        try {
            fill_empty_lobs(outcome, commit && big_lobs_.empty());
            if (!big_lobs_.empty()) {
                write_big_lobs(outcome);
                if (commit) ora_check(oci_, err_, oci_.OCITransCommit(svc_, err_, OCI_DEFAULT));
            }
        } catch (const ora_exception& e) {
            // Nothing of the batch is committed: the whole batch failed.
            oci_.OCITransRollback(svc_, err_, OCI_DEFAULT);
            tk_trace(3, "Batch of %d rows failed: %s", static_cast<int>(rows_.size()), e.message.c_str());
            ora_batch_outcome lost;
            lost.sent = rows_.size();
            lost.whole_batch_failed = true;
            for (uint64_t row : rows_) lost.failures.push_back({row, e.oracle_error(), tk_from_ansi(e.message)});
            return lost;
        }
    }
    outcome.committed = outcome.sent - outcome.failures.size();
    return outcome;
}

void ora_batch_loader::collect_row_errors(ora_batch_outcome& outcome)
{
    ub4 errors = 0;
    ora_check(oci_, err_, oci_.OCIAttrGet(stmt_, OCI_HTYPE_STMT, &errors, nullptr, OCI_ATTR_NUM_DML_ERRORS, err_));
    if (errors == 0) return;
    OCIError* row_err = nullptr;
    ora_check(oci_, err_, oci_.OCIHandleAlloc(env_, reinterpret_cast<void**>(&row_err), OCI_HTYPE_ERROR, 0, nullptr));
    struct release {
        const ora_oci_api& oci;
        OCIError* h;
        ~release() { oci.OCIHandleFree(h, OCI_HTYPE_ERROR); }
    } guard{oci_, row_err};
    for (ub4 k = 0; k < errors; ++k) {
        ora_check(oci_, err_, oci_.OCIParamGet(err_, OCI_HTYPE_ERROR, err_, reinterpret_cast<void**>(&row_err), k));
        ub4 offset = 0;
        ora_check(oci_, err_,
                  oci_.OCIAttrGet(row_err, OCI_HTYPE_ERROR, &offset, nullptr, OCI_ATTR_DML_ROW_OFFSET, err_));
        TK_ASSERT(offset < rows_.size());
        ora_row_failure f;
        f.row = rows_[offset];
        ora_read_error(oci_, row_err, OCI_HTYPE_ERROR, 1, f.oracle_error, f.text);
        outcome.failures.push_back(std::move(f));
    }
}

void ora_batch_loader::reset()
{
    staged_ = false;
    rows_.clear();
    big_lobs_.clear();
    for (auto& e : empty_lobs_) e.clear();
    for (auto& b : buffers_) b->clear();
    variable_bytes_ = 0;
}
