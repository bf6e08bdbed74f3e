#include "jet_props.h"

#include <cstring>
#include <vector>

#include "jet_column.h"
#include "jet_file.h"
#include "tk_wstring.h"

namespace {

uint16_t le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::u16string value_text(const jet_file& file, uint8_t type, const uint8_t* p, size_t n)
{
    switch (type) {
    case jet_col_bool: return n >= 1 && p[0] != 0 ? u"yes" : u"no";
    case jet_col_byte: return n >= 1 ? tk_widen_ascii(std::to_string(p[0])) : u"";
    case jet_col_int: return n >= 2 ? tk_widen_ascii(std::to_string(static_cast<int16_t>(le16(p)))) : u"";
    case jet_col_long: return n >= 4 ? tk_widen_ascii(std::to_string(static_cast<int32_t>(le32(p)))) : u"";
    case jet_col_text:
    case jet_col_memo: return file.decode_text(p, n);
    default: return u"";  // binary and other values are not needed here
    }
}

// Names of the 0x80 chunk.
std::vector<std::u16string> read_names(const jet_file& file, const uint8_t* p, size_t n)
{
    std::vector<std::u16string> names;
    size_t pos = 0;
    while (pos + 2 <= n) {
        size_t len = le16(p + pos);
        pos += 2;
        if (len > n - pos) break;
        names.push_back(file.decode_text(p + pos, len));
        pos += len;
    }
    return names;
}

// One block; returns its name and fills `out`.
std::u16string read_block(const jet_file& file, const std::vector<std::u16string>& names, const uint8_t* p, size_t n,
                          jet_property_map& out)
{
    if (n < 6) return {};
    size_t name_len = le16(p + 4);
    size_t pos = 6;
    if (name_len > n - pos) return {};
    std::u16string block = file.decode_text(p + pos, name_len);
    pos += name_len;
    while (pos + 8 <= n) {
        size_t rec = le16(p + pos);
        if (rec < 8 || rec > n - pos) break;
        uint8_t type = p[pos + 3];
        size_t index = le16(p + pos + 4);
        size_t size = le16(p + pos + 6);
        if (size > rec - 8) size = rec - 8;
        if (index < names.size()) out[tk_to_utf8(names[index])] = value_text(file, type, p + pos + 8, size);
        pos += rec;
    }
    return block;
}

}  // namespace

const jet_property_map* jet_properties::column(std::u16string_view name) const
{
    auto it = columns.find(tk_fold_case(name));
    return it == columns.end() ? nullptr : &it->second;
}

jet_properties jet_properties::parse(const jet_file& file, const uint8_t* blob, size_t length)
{
    jet_properties out;
    if (length < 4 || (std::memcmp(blob, "MR2", 4) != 0 && std::memcmp(blob, "KKD", 4) != 0)) return out;
    std::vector<std::u16string> names;
    // The object's own block has an empty name; it usually comes first, but
    // Access 2010 may write a calculated column's block ahead of it. A blob
    // without an unnamed block keeps its first block as the object's.
    bool first_block = true;
    bool have_table = false;
    std::u16string first_name;
    size_t pos = 4;
    while (pos + 6 <= length) {
        size_t len = le32(blob + pos);
        uint16_t type = le16(blob + pos + 4);
        if (len < 6 || len > length - pos) break;
        const uint8_t* body = blob + pos + 6;
        size_t body_len = len - 6;
        if (type == 0x80) {
            names = read_names(file, body, body_len);
        } else if (type <= 0x02) {
            jet_property_map props;
            std::u16string block = read_block(file, names, body, body_len, props);
            if (block.empty()) {
                out.table = std::move(props);
                have_table = true;
            } else {
                if (first_block) first_name = tk_fold_case(block);
                out.columns[tk_fold_case(block)] = std::move(props);
            }
            first_block = false;
        }
        pos += len;
    }
    if (!have_table && !first_name.empty()) {
        auto it = out.columns.find(first_name);
        out.table = std::move(it->second);
        out.columns.erase(it);
    }
    return out;
}
