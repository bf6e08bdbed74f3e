#include "jet_workgroup.h"

#include <sys/stat.h>

#include <cstring>
#include <fstream>

#include "jet_catalog.h"
#include "jet_crypto.h"
#include "jet_error.h"
#include "jet_file.h"
#include "jet_guard.h"
#include "jet_header.h"
#include "jet_table_reader.h"
#include "jet_text.h"
#include "tk_logger.h"
#include "tk_wstring.h"

namespace {

constexpr char k_workgroup_id[] = "Jet System DB  ";  // 15 characters and a zero byte

// Decodes a stored password: fixed-key Triple-DES blocks of NUL-padded
// ANSI (Jet3) or UTF-16LE (Jet4) text.
std::u16string decode_password(const std::vector<uint8_t>& stored, const jet_file& file)
{
    if (stored.empty() || stored.size() % 8 != 0) return {};
    jet_bytes plain = jet_workgroup_cipher::decipher(stored);
    if (file.is_jet3()) {
        size_t n = 0;
        while (n < plain.size() && plain[n] != 0) ++n;
        return jet_text_decoder(file.header().text_code_page()).decode(plain.data(), n);
    }
    std::u16string text = jet_decode_unicode(plain.data(), plain.size() & ~size_t{1});
    size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    return text;
}

}  // namespace

bool jet_workgroup::is_workgroup_file(const std::u16string& path)
{
    std::ifstream in(tk_to_utf8(path), std::ios::binary);
    char head[20] = {};
    in.read(head, sizeof head);
    return in.gcount() == sizeof head && std::memcmp(head + 4, k_workgroup_id, 16) == 0;
}

jet_workgroup::jet_workgroup(const std::u16string& path)
{
    tk_trace(2, u"jet_workgroup::jet_workgroup(%s)", path);
    struct stat st {};
    if (::stat(tk_to_utf8(path).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) throw jet_error(jet_err_workgroup_missing);
    if (!is_workgroup_file(path)) throw jet_error(jet_err_sysdb_open);
    if (st.st_size <= static_cast<off_t>(jet_header::k_size)) {
        // Only a header, as the built-in image: the default account alone.
        accounts_.push_back(jet_account{u"Admin", u"", false});
        return;
    }
    try {
        jet_file file(path, u"");
        jet_guard::probe(file);
        jet_catalog cat(file);
        const jet_catalog_entry* accounts = cat.find(u"MSysAccounts");
        if (accounts == nullptr || cat.mdb_entry(*accounts) == nullptr) throw jet_error(jet_err_no_msysaccounts);
        jet_table_reader reader(file, cat.mdb_entry(*accounts), accounts->properties.get());
        int c_name = reader.find_column(u"Name"), c_pw = reader.find_column(u"Password"),
            c_group = reader.find_column(u"FGroup");
        if (c_name < 0 || c_pw < 0) throw jet_error(jet_err_no_msysaccounts);
        std::vector<jet_value> row;
        while (reader.next(row)) {
            jet_account a;
            a.name = row[c_name].text;
            a.password = decode_password(row[c_pw].bytes, file);
            a.is_group = c_group >= 0 && row[c_group].i != 0;
            if (!a.name.empty()) accounts_.push_back(std::move(a));
        }
    } catch (const jet_error& e) {
        if (e.number == jet_err_no_msysaccounts) throw;
        throw jet_error(jet_err_sysdb_open);
    }
    tk_trace(1, "jet_workgroup: %d accounts", static_cast<int>(accounts_.size()));
}

void jet_workgroup::logon(std::u16string_view user, std::u16string_view password) const
{
    for (const jet_account& a : accounts_) {
        if (a.is_group || !tk_equal_nocase(a.name, user)) continue;
        if (a.password == password) return;
        break;
    }
    throw jet_error(jet_err_invalid_logon);
}

std::vector<uint8_t> jet_workgroup::builtin_image()
{
    std::vector<uint8_t> page(jet_header::k_size, 0);
    page[1] = 0x01;
    std::memcpy(page.data() + 4, k_workgroup_id, 16);
    page[0x14] = static_cast<uint8_t>(jet_format::jet4);
    // The masked window holds zeros once unmasked: no key, no password,
    // code page and sort order 0 (read as 1252 and General).
    const uint8_t* mask = jet_header::mask();
    for (size_t i = 0; i < 128; ++i) page[0x18 + i] = mask[i];
    return page;
}
