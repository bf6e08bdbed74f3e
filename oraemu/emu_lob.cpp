// LOB access through locators, and sequences.
#include "emu_impl.h"
#include "emu_values.h"

namespace emu {

namespace {

struct lob_cell {
    int64_t obj_id = 0;
    std::string sqlite_table;
    std::string column;
};

lob_cell locate(session::impl& s, const lob_ref& lob) {
    auto t = s.cat->table(lob.owner, lob.table);
    if (!t || t->find(lob.column) < 0) throw make_error(22275);
    return {t->obj_id, t->sqlite_name(), lob.column};
}

// The current content; ORA-22275 when the row is gone.
std::string read_cell(session::impl& s, const lob_cell& c, int64_t key, bool blob) {
    sql_stmt q(s.st->db(), "SELECT " + sq_col(c.column) + " FROM " + sq_name(c.sqlite_table) + " WHERE rowid=?");
    q.bind(1, key);
    if (!q.step()) throw make_error(22275);
    return blob ? q.blob(0) : q.text(0);
}

void write_cell(session::impl& s, const lob_cell& c, int64_t key, const std::string& data, bool blob) {
    sql_stmt q(s.st->db(), "UPDATE " + sq_name(c.sqlite_table) + " SET " + sq_col(c.column) + "=? WHERE rowid=?");
    blob ? q.bind_blob(1, data) : q.bind(1, data);
    q.bind(2, key).run();
}

lob_cell locked_cell(session::impl& s, const lob_ref& lob) {
    lob_cell c = locate(s, lob);
    if (!s.locked.count({c.obj_id, lob.row_key})) throw make_error(22920);
    s.begin();
    return c;
}

}  // namespace

uint64_t session::lob_length(const lob_ref& lob) {
    p_->count(rt_kind::lob_length);
    if (p_->lost) throw make_error(3114);
    lob_cell c = locate(*p_, lob);
    std::string v = read_cell(*p_, c, lob.row_key, lob.type == col_type::blob);
    return lob.type == col_type::blob ? v.size() : utf16_units(v);
}

std::u16string session::clob_read(const lob_ref& lob, uint64_t offset, uint64_t amount) {
    p_->count(rt_kind::lob_read);
    if (p_->lost) throw make_error(3114);
    std::u16string v = utf8_to_utf16(read_cell(*p_, locate(*p_, lob), lob.row_key, false));
    if (offset >= v.size()) return {};
    return v.substr(offset, amount);
}

std::string session::blob_read(const lob_ref& lob, uint64_t offset, uint64_t amount) {
    p_->count(rt_kind::lob_read);
    if (p_->lost) throw make_error(3114);
    std::string v = read_cell(*p_, locate(*p_, lob), lob.row_key, true);
    if (offset >= v.size()) return {};
    return v.substr(offset, amount);
}

void session::clob_write(const lob_ref& lob, uint64_t offset, std::u16string_view data) {
    p_->count(rt_kind::lob_write);
    if (p_->lost) throw make_error(3114);
    lob_cell c = locked_cell(*p_, lob);
    std::u16string v = utf8_to_utf16(read_cell(*p_, c, lob.row_key, false));
    if (v.size() < offset) v.resize(offset, u' ');
    if (v.size() < offset + data.size()) v.resize(offset + data.size());
    // A CLOB holds the database character set; each code unit it cannot
    // hold becomes '?', so that lengths and offsets stay as written.
    std::u16string converted(data);
    if (lob.type == col_type::clob && single_byte_charset(p_->db_charset))
        for (char16_t& u : converted)
            if (!db_charset_holds(u, p_->db_charset)) u = u'?';
    v.replace(offset, converted.size(), converted);
    write_cell(*p_, c, lob.row_key, utf16_to_utf8(v), false);
}

void session::blob_write(const lob_ref& lob, uint64_t offset, std::string_view data) {
    p_->count(rt_kind::lob_write);
    if (p_->lost) throw make_error(3114);
    lob_cell c = locked_cell(*p_, lob);
    std::string v = read_cell(*p_, c, lob.row_key, true);
    if (v.size() < offset + data.size()) v.resize(offset + data.size(), '\0');
    v.replace(offset, data.size(), data);
    write_cell(*p_, c, lob.row_key, v, true);
}

void session::lob_trim(const lob_ref& lob, uint64_t new_length) {
    p_->count(rt_kind::lob_write);
    if (p_->lost) throw make_error(3114);
    lob_cell c = locked_cell(*p_, lob);
    bool blob = lob.type == col_type::blob;
    std::string v = read_cell(*p_, c, lob.row_key, blob);
    if (blob) {
        if (new_length > v.size()) throw make_error(22926);
        v.resize(new_length);
    } else {
        std::u16string u = utf8_to_utf16(v);
        if (new_length > u.size()) throw make_error(22926);
        u.resize(new_length);
        v = utf16_to_utf8(u);
    }
    write_cell(*p_, c, lob.row_key, v, blob);
}

// ---- sequences ------------------------------------------------------------------

namespace {

using i128 = __int128;

i128 to_i128(const std::string& text) {
    decimal d;
    if (!parse_decimal(text, d)) return 0;
    round_to_scale(d, 0);
    i128 v = 0;
    for (int i = 0; i < d.point; ++i) {
        v *= 10;
        if (static_cast<size_t>(i) < d.digits.size()) v += d.digits[static_cast<size_t>(i)] - '0';
    }
    return d.negative ? -v : v;
}

std::string from_i128(i128 v) {
    if (v == 0) return "0";
    bool neg = v < 0;
    if (neg) v = -v;
    std::string s;
    while (v > 0) {
        s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    }
    return neg ? "-" + s : s;
}

}  // namespace

std::string session::impl::nextval(const std::string& owner, const std::string& name) {
    auto m = cat->sequence(owner, name);
    if (!m) throw make_error(2289);
    i128 value = to_i128(m->next_value);
    i128 inc = to_i128(m->increment);
    i128 lo = to_i128(m->min_value), hi = to_i128(m->max_value);
    if ((inc > 0 && value > hi) || (inc < 0 && value < lo)) {
        if (!m->cycle) throw make_error(8004, {owner + "." + name});
        value = inc > 0 ? lo : hi;
    }
    // LAST_NUMBER is the first value not yet handed to the cache: with
    // NOCACHE the next value, with CACHE n it moves n steps at a time.
    i128 last = to_i128(m->last_number);
    if (m->cache == 0) last = value + inc;
    else if (inc > 0 ? value >= last : value <= last) last = value + inc * m->cache;
    std::string next = from_i128(value + inc), last_text = from_i128(last);
    sql_stmt q(st->db(), "UPDATE oraemu_sequences SET next_value=?, last_number=? WHERE owner=? AND sequence_name=?");
    q.bind(1, next).bind(2, last_text).bind(3, owner).bind(4, name).run();
    std::string key = owner + "." + name;
    currval[key] = from_i128(value);
    seq_moved[key] = {next, last_text};
    return from_i128(value);
}

std::string session::impl::currval_of(const std::string& owner, const std::string& name) {
    auto it = currval.find(owner + "." + name);
    if (it == currval.end()) throw make_error(8002, {owner + "." + name});
    return it->second;
}

// Oracle never gives a sequence value back: after a rollback the values
// handed out stay used.
void session::impl::reapply_sequences() {
    for (const auto& [key, state] : seq_moved) {
        size_t dot = key.find('.');
        sql_stmt q(st->db(), "UPDATE oraemu_sequences SET next_value=?, last_number=? WHERE owner=? AND sequence_name=?");
        q.bind(1, state.first).bind(2, state.second).bind(3, key.substr(0, dot)).bind(4, key.substr(dot + 1)).run();
    }
}

}  // namespace emu
