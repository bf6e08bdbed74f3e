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
