// Copies of real Access files with a few bytes changed, for values the test
// files hold no example of: a column's stored type, a property value, a
// stored row value. The copy lives in /tmp until the object goes.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

class jet_patched_file {
public:
    explicit jet_patched_file(const std::string& source)
    {
        std::ifstream in(source, std::ios::binary);
        bytes_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (bytes_.empty()) throw std::runtime_error("cannot read " + source);
    }
    ~jet_patched_file()
    {
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    jet_patched_file(const jet_patched_file&) = delete;
    jet_patched_file& operator=(const jet_patched_file&) = delete;

    std::vector<uint8_t>& bytes() { return bytes_; }

    // Replaces every occurrence of `from` by `to` (same length); returns
    // how many there were.
    int replace_all(const std::vector<uint8_t>& from, const std::vector<uint8_t>& to)
    {
        if (from.size() != to.size() || from.empty()) throw std::logic_error("replace_all: lengths differ");
        int count = 0;
        for (auto it = bytes_.begin(); (it = std::search(it, bytes_.end(), from.begin(), from.end())) != bytes_.end();
             it += from.size()) {
            std::copy(to.begin(), to.end(), it);
            ++count;
        }
        return count;
    }

    // Sets the type byte of the column numbered `col_num` in the Jet4/ACE
    // table definition on `page`.
    void set_column_type(uint32_t page, int col_num, uint8_t type)
    {
        uint8_t* tdef = bytes_.data() + static_cast<size_t>(page) * 4096;
        if (tdef[0] != 0x02) throw std::runtime_error("not a table definition page");
        const int cols = tdef[45] | (tdef[46] << 8);
        const uint32_t real_indexes = tdef[51] | (tdef[52] << 8) | (tdef[53] << 16);
        uint8_t* col = tdef + 63 + real_indexes * 12;
        for (int i = 0; i < cols; ++i, col += 25) {
            if ((col[5] | (col[6] << 8)) == col_num) {
                col[0] = type;
                return;
            }
        }
        throw std::runtime_error("no such column");
    }

    // In every property blob, the block named `block` (UTF-16): the value
    // of property `name` is overwritten by `value`, cut or zero-padded to
    // the stored length. Returns how many values were changed.
    int set_property(const std::u16string& block, const std::u16string& name, const std::vector<uint8_t>& value)
    {
        int count = 0;
        static const uint8_t k_magic[4] = {'M', 'R', '2', 0};
        for (auto it = bytes_.begin(); (it = std::search(it, bytes_.end(), k_magic, k_magic + 4)) != bytes_.end(); ++it)
            count += patch_blob(static_cast<size_t>(it - bytes_.begin()), block, name, value);
        return count;
    }

    // The Jet4/ACE data pages of the table whose definition is on `tdef_page`.
    std::vector<uint32_t> data_pages(uint32_t tdef_page) const
    {
        std::vector<uint32_t> out;
        for (size_t at = 0; at + 4096 <= bytes_.size(); at += 4096)
            if (bytes_[at] == 0x01 && u32(at + 4) == tdef_page) out.push_back(static_cast<uint32_t>(at / 4096));
        return out;
    }

    // Gives row k of data `page` the variable-length value `values[k]`, for
    // rows holding exactly one (and at most 8 columns); the rows are packed
    // again from the page's end, so a value may grow.
    void set_variable_values(uint32_t page, const std::vector<std::vector<uint8_t>>& values)
    {
        const size_t at = static_cast<size_t>(page) * 4096;
        const size_t rows = u16(at + 12);
        if (values.size() != rows) throw std::runtime_error("one value per row");
        std::vector<std::vector<uint8_t>> rebuilt;
        for (size_t k = 0; k < rows; ++k) {
            const size_t start = u16(at + 14 + 2 * k) & 0x1FFF;
            const size_t end = k == 0 ? 4096 : u16(at + 12 + 2 * k) & 0x1FFF;
            const std::vector<uint8_t> row(bytes_.begin() + at + start, bytes_.begin() + at + end);
            // ... value, eod offset, the value's offset, var count 1, null mask.
            if (row.size() < 8 || u16(at + end - 3) != 1) throw std::runtime_error("not one variable value");
            const size_t value_at = u16(at + end - 5);
            std::vector<uint8_t> out(row.begin(), row.begin() + value_at);
            out.insert(out.end(), values[k].begin(), values[k].end());
            for (size_t v : {value_at + values[k].size(), value_at, size_t{1}}) {
                out.push_back(static_cast<uint8_t>(v));
                out.push_back(static_cast<uint8_t>(v >> 8));
            }
            out.push_back(row.back());
            rebuilt.push_back(std::move(out));
        }
        size_t pos = 4096;
        for (size_t k = 0; k < rows; ++k) {
            if (rebuilt[k].size() + 14 + 2 * rows > pos) throw std::runtime_error("the rows do not fit the page");
            pos -= rebuilt[k].size();
            std::copy(rebuilt[k].begin(), rebuilt[k].end(), bytes_.begin() + at + pos);
            bytes_[at + 14 + 2 * k] = static_cast<uint8_t>(pos);
            bytes_[at + 15 + 2 * k] = static_cast<uint8_t>(pos >> 8);
        }
        const size_t free_space = pos - 14 - 2 * rows;
        bytes_[at + 2] = static_cast<uint8_t>(free_space);
        bytes_[at + 3] = static_cast<uint8_t>(free_space >> 8);
    }

    // Writes the copy and returns its path.
    const std::string& write()
    {
        if (path_.empty()) {
            char name[] = "/tmp/tolvane-patched-XXXXXX";
            int fd = ::mkstemp(name);
            if (fd < 0) throw std::runtime_error("mkstemp");
            ::close(fd);
            path_ = name;
        }
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
        return path_;
    }

private:
    uint32_t u16(size_t at) const { return bytes_[at] | (bytes_[at + 1] << 8); }
    uint32_t u32(size_t at) const { return u16(at) | (u16(at + 2) << 16); }

    static std::u16string text(const uint8_t* p, size_t n)
    {
        std::u16string out;
        for (size_t i = 0; i + 1 < n; i += 2) out += static_cast<char16_t>(p[i] | (p[i + 1] << 8));
        return out;
    }

    // Walks one blob's chunks; every length is checked against the file.
    int patch_blob(size_t at, const std::u16string& block, const std::u16string& name,
                   const std::vector<uint8_t>& value)
    {
        std::vector<std::u16string> names;
        int count = 0;
        size_t pos = at + 4;
        while (pos + 6 <= bytes_.size()) {
            size_t len = u32(pos);
            uint32_t type = u16(pos + 4);
            if (len < 6 || len > bytes_.size() - pos || (type != 0x80 && type > 2)) break;
            size_t end = pos + len;
            if (type == 0x80) {
                names.clear();
                for (size_t p = pos + 6; p + 2 <= end;) {
                    size_t n = u16(p);
                    if (p + 2 + n > end) break;
                    names.push_back(text(&bytes_[p + 2], n));
                    p += 2 + n;
                }
            } else if (pos + 12 <= end) {
                size_t name_len = u16(pos + 10);
                size_t p = pos + 12 + name_len;
                if (p <= end && text(&bytes_[pos + 12], name_len) == block) {
                    while (p + 8 <= end) {
                        size_t rec = u16(p);
                        if (rec < 8 || p + rec > end) break;
                        size_t index = u16(p + 4), size = u16(p + 6);
                        if (index < names.size() && names[index] == name && size <= rec - 8) {
                            for (size_t k = 0; k < size; ++k) bytes_[p + 8 + k] = k < value.size() ? value[k] : 0;
                            ++count;
                        }
                        p += rec;
                    }
                }
            }
            pos = end;
        }
        return count;
    }

    std::vector<uint8_t> bytes_;
    std::string path_;
};

// DateTestDatabase.mdb with its LongTextCol made a Date/Time Extended
// column (type byte 0x14; `tdef_page` is DateTest's table definition): row
// 5's in-row value (a 12-byte long-value header and 32 bytes of text) is
// overwritten with the 42-byte stored form of 2021-12-02 13:45:30.1234567.
// The shorter values of the other rows become damaged values. Returns the
// copy's path.
inline const std::string& jet_extended_date_copy(jet_patched_file& file, uint32_t tdef_page)
{
    file.set_column_type(tdef_page, 4, 0x14);
    const std::string text = "Escaped new line \\r\\n in field";
    std::vector<uint8_t> from = {32, 0, 0, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFE};
    for (char c : text) from.push_back(static_cast<uint8_t>(c));
    std::string stored = "0000000000000738125:0000000495301234567:7 ";
    stored.resize(from.size(), ' ');
    if (file.replace_all(from, std::vector<uint8_t>(stored.begin(), stored.end())) != 1)
        throw std::runtime_error("DateTestDatabase.mdb: row 5 not found");
    return file.write();
}
