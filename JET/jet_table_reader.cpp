#include "jet_table_reader.h"

#include <cstring>

#include "jet_error.h"
#include "jet_file.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

template <class T>
T load(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

uint32_t le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Bytes a fixed-size type needs.
size_t fixed_size(uint8_t type)
{
    switch (type) {
    case jet_col_byte: return 1;
    case jet_col_int: return 2;
    case jet_col_long:
    case jet_col_float: return 4;
    case jet_col_money:
    case jet_col_double:
    case jet_col_datetime:
    case jet_col_bigint: return 8;
    case jet_col_guid: return 16;
    case jet_col_numeric: return 17;
    default: return 0;
    }
}

// An Access 2010+ calculated column keeps its value behind a 20-byte
// header whose bytes 16..19 give the value's length (3 more bytes follow
// the value). A Long Text result keeps the header inside its long value.
bool strip_calculated(const uint8_t*& p, size_t& n)
{
    if (n < 20) return false;
    size_t len = le32(p + 16);
    p += 20;
    n -= 20;
    if (len < n) n = len;
    return true;
}

}  // namespace

jet_table_reader::jet_table_reader(const jet_file& file, MdbCatalogEntry* entry, const jet_properties* props)
    : file_(file)
{
    if (entry == nullptr || !file.check_table_definition(static_cast<uint32_t>(entry->table_pg)))
        throw jet_error(jet_err_unrecognized_format, file.path());
    table_.reset(mdb_read_table(entry));
    if (!table_ || mdb_read_columns(table_.get()) == nullptr) throw jet_error(jet_err_unrecognized_format, file.path());
    mdb_read_indices(table_.get());  // returns null even on success
    columns_ = jet_read_columns(file, table_.get(), props, skipped_);
    fields_.resize(table_->num_cols + 1);
    rewind();
}

jet_table_reader::~jet_table_reader() = default;

int jet_table_reader::find_column(std::u16string_view name) const
{
    for (size_t i = 0; i < columns_.size(); ++i)
        if (tk_equal_nocase(columns_[i].name, name)) return static_cast<int>(i);
    return -1;
}

void jet_table_reader::rewind()
{
    mdb_rewind_table(table_.get());
    at_end_ = false;
    last_page_ = 0;
    pages_entered_ = 0;
}

bool jet_table_reader::next(std::vector<jet_value>& row)
{
    MdbTableDef* t = table_.get();
    MdbHandle* mdb = file_.mdb();
    // Another reader of the same file may have moved libmdb's page buffer
    // since this one fetched its last row: bring its page back first.
    if (t->cur_pg_num != 0 && t->cur_phys_pg != 0 && mdb->cur_pg != t->cur_phys_pg) mdb_read_pg(mdb, t->cur_phys_pg);
    const uint32_t from_page = t->cur_pg_num != 0 ? t->cur_phys_pg : 0;
    const unsigned from_slot = t->cur_row;
    if (at_end_ || t->num_cols == 0 || !mdb_fetch_row(t)) {
        if (!at_end_ && t->num_cols != 0) check_skipped(from_page, from_slot, 0, 0);
        at_end_ = true;
        return false;
    }
    if (t->cur_phys_pg != last_page_) {
        last_page_ = static_cast<uint32_t>(t->cur_phys_pg);
        if (++pages_entered_ > file_.page_count()) {
            at_end_ = true;
            tk_trace(3, u"Reading '%s' enters more pages than the file holds", file_.path());
            throw jet_error(jet_err_unrecognized_format, file_.path());
        }
    }
    check_skipped(from_page, from_slot, t->cur_phys_pg, t->cur_row - 1);
    // libmdb has found the row on the page now in pg_buf; locate its fields
    // again to learn which are NULL, which its binding hides.
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &size) != 0 ||
        mdb_crack_row(t, start & 0x1FFF, size, fields_.data()) < 0) {
        at_end_ = true;
        throw jet_error(jet_err_unrecognized_format, file_.path());
    }
    row.resize(columns_.size());
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (wanted_.empty() || wanted_[i])
            decode(columns_[i], fields_[columns_[i].index], row[i]);
        else
            row[i].set_null();
    }
    return true;
}

// libmdb passes over a row slot it cannot read as if it held no row, so a
// damaged row would vanish without a word. The slots libmdb passed over
// between the row before and the row it found (slot `to_slot` of page
// `to_page`; page 0: the end of the table) must each be a deleted row, an
// overflow pointer or a row it chose to skip that cracks soundly;
// anything else is a damaged row, an error. Costs nothing while libmdb
// passes over nothing, which is the rule.
void jet_table_reader::check_skipped(uint32_t from_page, unsigned from_slot, uint32_t to_page, unsigned to_slot)
{
    MdbTableDef* t = table_.get();
    MdbHandle* mdb = file_.mdb();
    if (from_page == to_page && from_page != 0) return check_slots(to_page, from_slot, to_slot);
    bool moved = false;
    if (from_page != 0 && from_slot < slots_) {
        mdb_read_pg(mdb, from_page);
        moved = true;
        check_slots(from_page, from_slot, slots_);
    }
    // Pages of the table's usage map between the two: every slot skipped.
    for (int64_t pg = from_page;;) {
        const int64_t next =
            mdb_map_find_next(mdb, t->usage_map, static_cast<unsigned>(t->map_sz), static_cast<uint32_t>(pg));
        if (next <= pg || (to_page != 0 && next >= to_page)) break;
        pg = next;
        if (mdb_read_pg(mdb, static_cast<unsigned long>(pg)) <= 0) break;
        moved = true;
        if (mdb->pg_buf[0] == 0x01 && static_cast<uint32_t>(mdb_get_int32(mdb->pg_buf, 4)) == t->entry->table_pg)
            check_slots(static_cast<uint32_t>(pg), 0, page_slots());
    }
    if (to_page == 0) return;
    if (moved) mdb_read_pg(mdb, to_page);
    slots_ = page_slots();
    check_slots(to_page, 0, to_slot);
}

unsigned jet_table_reader::page_slots() const
{
    MdbHandle* mdb = file_.mdb();
    return static_cast<unsigned>(mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset));
}

// Slots [first, end) of `page`, which is in libmdb's buffer.
void jet_table_reader::check_slots(uint32_t page, unsigned first, unsigned end)
{
    if (first >= end) return;  // the rule: nothing passed over
    MdbHandle* mdb = file_.mdb();
    std::vector<MdbField> scratch(fields_.size());
    const size_t page_size = file_.header().page_size;
    for (unsigned slot = first; slot < end; ++slot) {
        // A damaged row count may point the offset table past the page.
        const size_t at = mdb->fmt->row_count_offset + 2 + 2 * static_cast<size_t>(slot);
        const int offset = at + 2 <= page_size ? mdb_get_int16(mdb->pg_buf, static_cast<int>(at)) : 0;
        if (at + 2 <= page_size && (offset & 0xC000) != 0) continue;  // deleted, or an overflow pointer
        int start = 0;
        size_t size = 0;
        if (at + 2 <= page_size && mdb_find_row(mdb, static_cast<int>(slot), &start, &size) == 0 && size > 0 &&
            mdb_crack_row(table_.get(), start & 0x1FFF, size, scratch.data()) >= 0)
            continue;
        tk_trace(3, u"Row slot %d of page %d cannot be read", static_cast<int>(slot), static_cast<int>(page));
        at_end_ = true;
        throw jet_error(jet_err_unrecognized_format, file_.path());
    }
}

void jet_table_reader::set_wanted(std::vector<bool> wanted)
{
    TK_ASSERT(wanted.empty() || wanted.size() == columns_.size());
    wanted_ = std::move(wanted);
}

void jet_table_reader::decode(const jet_column& col, const MdbField& f, jet_value& out) const
{
    if (col.jet_type == jet_col_bool && !col.calculated) {
        // A Yes/No value lives in the null mask: bit set is Yes. Never NULL.
        out.set_null();
        out.kind = jet_kind::boolean;
        out.i = f.is_null ? 0 : 1;
        return;
    }
    out.set_null();
    if (f.is_null) return;
    const uint32_t pg_size = file_.header().page_size;
    if (f.start < 0 || f.siz < 0 || static_cast<uint32_t>(f.start) + static_cast<uint32_t>(f.siz) > pg_size) {
        tk_trace(3, u"Damaged value of column '%s' read as NULL", col.name);
        return;
    }
    const uint8_t* p = file_.mdb()->pg_buf + f.start;
    size_t n = static_cast<size_t>(f.siz);
    if (col.calculated) {
        decode_calculated(col, p, n, out);
        return;
    }
    switch (col.jet_type) {
    case jet_col_text:
        out.kind = jet_kind::text;
        out.text = file_.decode_text(p, n);
        return;
    case jet_col_binary:
        out.kind = jet_kind::binary;
        out.bytes.assign(p, p + n);
        return;
    case jet_col_memo:
    case jet_col_ole: decode_long(col, p, n, out); return;
    case jet_col_ext_datetime:
        if (!jet_extended_date(p, n, out.d, out.ticks)) {
            tk_trace(3, u"Damaged Date/Time Extended value of column '%s' read as NULL", col.name);
            return;
        }
        out.kind = jet_kind::date;
        return;
    default: decode_fixed(col, p, n, out);
    }
}

void jet_table_reader::decode_calculated(const jet_column& col, const uint8_t* p, size_t n, jet_value& out) const
{
    if (col.jet_type == jet_col_memo) {
        std::vector<uint8_t> data;
        if (!file_.read_long_value(p, n, data)) {
            tk_trace(3, u"Damaged long value of column '%s' read as NULL", col.name);
            return;
        }
        const uint8_t* q = data.data();
        size_t m = data.size();
        if (!strip_calculated(q, m)) {
            tk_trace(3, u"Damaged calculated value of column '%s' read as NULL", col.name);
            return;
        }
        out.kind = jet_kind::text;
        out.text = file_.decode_text(q, m);
        return;
    }
    if (!strip_calculated(p, n)) {
        tk_trace(3, u"Damaged calculated value of column '%s' read as NULL", col.name);
        return;
    }
    switch (col.jet_type) {
    case jet_col_bool:  // a calculated Yes/No keeps its value as a byte
        if (n < 1) break;
        out.kind = jet_kind::boolean;
        out.i = p[0] != 0 ? 1 : 0;
        return;
    case jet_col_text:
        out.kind = jet_kind::text;
        out.text = file_.decode_text(p, n);
        return;
    case jet_col_numeric:
        if (!jet_calculated_decimal(p, n, out.dec)) break;
        out.kind = jet_kind::decimal;
        return;
    default: decode_fixed(col, p, n, out); return;
    }
    tk_trace(3, u"Damaged calculated value of column '%s' read as NULL", col.name);
}

void jet_table_reader::decode_fixed(const jet_column& col, const uint8_t* p, size_t n, jet_value& out) const
{
    if (n < fixed_size(col.jet_type)) {
        tk_trace(3, u"Short value of column '%s' read as NULL", col.name);
        return;
    }
    switch (col.jet_type) {
    case jet_col_byte:
        out.kind = jet_kind::byte;
        out.i = p[0];
        break;
    case jet_col_int:
        out.kind = jet_kind::int16;
        out.i = load<int16_t>(p);
        break;
    case jet_col_long:
        out.kind = jet_kind::int32;
        out.i = load<int32_t>(p);
        break;
    case jet_col_money:
        out.kind = jet_kind::currency;
        out.i = load<int64_t>(p);
        break;
    case jet_col_bigint:
        out.kind = jet_kind::int64;
        out.i = load<int64_t>(p);
        break;
    case jet_col_float:
        out.kind = jet_kind::single;
        out.d = load<float>(p);
        break;
    case jet_col_double:
        out.kind = jet_kind::dbl;
        out.d = load<double>(p);
        break;
    case jet_col_datetime:
        out.kind = jet_kind::date;
        out.d = load<double>(p);
        break;
    case jet_col_guid:
        out.kind = jet_kind::guid;
        out.bytes.assign(p, p + 16);
        out.text = u"{guid " + jet_guid_text(p) + u"}";
        break;
    case jet_col_numeric: {
        // Sign byte, then the 128-bit magnitude as four little-endian
        // 32-bit words, most significant first.
        uint32_t w0 = le32(p + 1), w1 = le32(p + 5), w2 = le32(p + 9), w3 = le32(p + 13);
        if (w0 != 0) {
            tk_trace(3, u"Decimal value of column '%s' beyond 28 digits read as NULL", col.name);
            return;
        }
        out.kind = jet_kind::decimal;
        out.dec.negative = (p[0] & 0x80) != 0;
        out.dec.scale = col.scale;
        out.dec.hi = w1;
        out.dec.lo = (static_cast<uint64_t>(w2) << 32) | w3;
        break;
    }
    default: break;
    }
}

void jet_table_reader::decode_long(const jet_column& col, const uint8_t* p, size_t n, jet_value& out) const
{
    std::vector<uint8_t> data;
    if (!file_.read_long_value(p, n, data)) {
        tk_trace(3, u"Damaged long value of column '%s' read as NULL", col.name);
        return;
    }
    if (col.jet_type == jet_col_memo) {
        out.kind = jet_kind::text;
        out.text = file_.decode_text(data.data(), data.size());
    } else {
        out.kind = jet_kind::binary;
        out.bytes = std::move(data);
    }
}
