#include "ora_lob_insert.h"

#include "ora_engine.h"
#include "ora_stmt.h"
#include "ora_type_map.h"
#include "tk_logger.h"
#include "udb_field.h"
#include "udb_ftd.h"
#include "udb_schema.h"

ora_lob_insert::ora_lob_insert(const std::u16string& table_name, const udb_schema& columns) : table_name_(table_name)
{
    tk_trace(1, "ora_lob_insert::ctor");
    for (size_t i = 0; i < columns.size(); ++i) {
        const t_ftd& c = columns[i];
        tk_trace(1, u"Processing '%s': vt=%d, size=%d", c.name, c.vartype, c.size);
        if (!ora_is_lob(c)) continue;
        tk_trace(1, u"GOT LOB FIELD '%s'", c.name);
        lobs_.push_back({static_cast<uint32_t>(i), c.vartype, c.name});
    }
    ora_engine& engine = ora_engine::instance();
    defines_.assign(lobs_.size(), nullptr);
    locators_.assign(lobs_.size(), nullptr);
    for (OCILobLocator*& l : locators_)
        engine.check(
            engine.oci().OCIDescriptorAlloc(engine.env(), reinterpret_cast<void**>(&l), OCI_DTYPE_LOB, 0, nullptr));
}

ora_lob_insert::~ora_lob_insert()
{
    ora_engine* engine = ora_engine::instance_ptr();
    if (engine == nullptr) return;
    for (OCILobLocator* l : locators_)
        if (l != nullptr) engine->oci().OCIDescriptorFree(l, OCI_DTYPE_LOB);
}

void ora_lob_insert::insert_rowid(const std::u16string& rowid, const std::vector<const udb_field*>& values)
{
    tk_trace(1, u"ora_lob_insert::insert(%s)", rowid);
    insert(u"ROWID=" + ora_quote_literal(rowid), values);
}

void ora_lob_insert::insert(const std::u16string& where, const std::vector<const udb_field*>& values)
{
    tk_trace(1, "ld.size()=%d", static_cast<int>(lobs_.size()));
    // Only the columns that carry data are selected and written.
    std::vector<size_t> todo;
    for (size_t i = 0; i < lobs_.size() && i < values.size(); ++i) {
        const udb_field* v = values[i];
        if (v == nullptr || v->is_empty_or_null()) continue;
        std::vector<uint8_t> scratch;
        bool has_data =
            ora_is_text_kind(lobs_[i].vt) ? !v->to_wstring().empty() : !ora_value_bytes(*v, scratch).empty();
        if (has_data) todo.push_back(i);
    }
    if (todo.empty()) {
        tk_trace(2, "Record has no LOBs - skip it");
        return;
    }
    std::u16string text = u"SELECT ";
    for (size_t k = 0; k < todo.size(); ++k) {
        if (k > 0) text += u", ";
        text += u"\"" + lobs_[todo[k]].name + u"\"";
    }
    text += u" FROM \"" + table_name_ + u"\" WHERE " + where + u" FOR UPDATE";
    tk_trace(3, u"Run SQL query: %s\n", text);
    ora_engine& engine = ora_engine::instance();
    ora_stmt stmt;
    stmt.prepare(text);
    for (size_t k = 0; k < todo.size(); ++k) {
        size_t i = todo[k];
        ub2 type = ora_is_text_kind(lobs_[i].vt) ? SQLT_CLOB : SQLT_BLOB;
        engine.check(engine.oci().OCIDefineByPos(stmt.get(), &defines_[i], engine.err(), static_cast<ub4>(k + 1),
                                                 &locators_[i], -1, type, nullptr, nullptr, nullptr, OCI_DEFAULT));
    }
    if (stmt.execute(1) == OCI_NO_DATA) throw tk_exception("The row to write LOB data into was not found", 0);
    for (size_t i : todo) {
        if (ora_is_text_kind(lobs_[i].vt))
            write_clob(i, *values[i]);
        else
            write_blob(i, *values[i]);
    }
}

void ora_lob_insert::write_blob(size_t i, const udb_field& value)
{
    tk_trace(1, "ora_lob_insert::write_blob");
    std::vector<uint8_t> scratch;
    std::span<const uint8_t> data = ora_value_bytes(value, scratch);
    const uint8_t* bytes = data.data();
    size_t n = data.size();
    if (n == 0) {
        tk_trace(1, "Got empty BLOB - skip it");
        return;
    }
    tk_trace(1, "BLOB size=%d", static_cast<int>(n));
    ora_engine& engine = ora_engine::instance();
    ub4 amount = static_cast<ub4>(n);
    engine.check(engine.oci().OCILobWrite(engine.svc(), engine.err(), locators_[i], &amount, 1,
                                          const_cast<uint8_t*>(bytes), static_cast<ub4>(n), OCI_ONE_PIECE, nullptr,
                                          nullptr, 0, SQLCS_IMPLICIT));
}

void ora_lob_insert::write_clob(size_t i, const udb_field& value)
{
    tk_trace(1, "ora_lob_insert::write_clob");
    // Text of a memo is written as UTF-16 (character set OCI_UTF16ID), so
    // nothing depends on the process locale; the amount counts UTF-16 code
    // units and the buffer length bytes.
    std::u16string text = value.get_vt() == VT_BSTR ? value.as_wstring() : value.to_wstring();
    if (text.empty()) {
        tk_trace(1, "Got empty CLOB - skip it");
        return;
    }
    tk_trace(1, "CLOB size=%d", static_cast<int>(text.size()));
    ora_engine& engine = ora_engine::instance();
    ub1 form = SQLCS_IMPLICIT;
    engine.check(engine.oci().OCILobCharSetForm(engine.env(), engine.err(), locators_[i], &form));
    ub4 amount = static_cast<ub4>(text.size());
    engine.check(engine.oci().OCILobWrite(engine.svc(), engine.err(), locators_[i], &amount, 1, text.data(),
                                          static_cast<ub4>(text.size() * sizeof(char16_t)), OCI_ONE_PIECE, nullptr,
                                          nullptr, OCI_UTF16ID, form));
}
