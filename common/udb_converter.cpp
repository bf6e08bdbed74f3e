#include "udb_converter.h"

#include "tk_exception.h"
#include "tk_format.h"
#include "tk_logger.h"
#include "tk_wstring.h"
#include "udb_profile.h"

namespace {

// A flag of a profile: the switch words when the value is one of them;
// otherwise the old reading, kept for profiles written by hand long ago
// (`zero_rule`: anything but "0" is on; else anything but "1" is off).
void read_flag(const udb_profile& p, const std::u16string& key, bool zero_rule, bool& flag)
{
    std::u16string value = p.get_value(udb_profile::k_generic, key);
    if (tk_trim(value).empty()) return;
    if (udb_converter::parse_switch(value, flag)) return;
    flag = zero_rule ? value != u"0" : value == u"1";
}

void read_text(const udb_profile& p, const std::u16string& key, std::u16string& setting)
{
    std::u16string value = p.get_value(udb_profile::k_generic, key);
    if (!value.empty()) setting = value;
}

}  // namespace

udb_converter::udb_converter() = default;
udb_converter::~udb_converter() = default;

void udb_converter::set_mode(int m)
{
    tk_trace(1, "udb_converter::set_mode(%d)", m);
    mode = m;
}

bool udb_converter::parse_switch(std::u16string_view text, bool& on)
{
    std::u16string t = tk_fold_case(tk_trim(text));
    if (t == u"1" || t == u"true" || t == u"yes" || t == u"on") {
        on = true;
        return true;
    }
    if (t == u"0" || t == u"false" || t == u"no" || t == u"off") {
        on = false;
        return true;
    }
    return false;
}

bool udb_converter::parse_mode(std::u16string_view text, int& m)
{
    std::u16string t = tk_trim(text);
    if (t.size() != 1 || t[0] < u'1' || t[0] > u'4') return false;
    m = t[0] - u'0';
    return true;
}

bool udb_converter::load_profile(const udb_profile& profile)
{
    tk_trace(1, "udb_converter::load_profile");
    for (const auto& [name, text] : profile.section(udb_profile::k_selected_tables)) {
        if (!text.empty()) {
            selected_queries.try_emplace(name, text);
        } else {
            tk_trace(1, u"Push back table '%s'", name);
            selected_tables.push_back(name);
        }
    }
    // A bare name among the offered queries is no query at all.
    for (const auto& [name, text] : profile.section(udb_profile::k_available_queries))
        if (!text.empty()) available_queries.try_emplace(name, text);

    read_text(profile, u"src", src);
    read_text(profile, u"dest", dest);
    read_flag(profile, u"only definitions", true, tab_def);
    std::u16string m = profile.get_value(udb_profile::k_generic, u"mode");
    if (!tk_trim(m).empty()) {
        int parsed = 0;
        if (!parse_mode(m, parsed)) throw udb_invalid_mode();
        mode = parsed;
    }
    read_flag(profile, u"skip indexes", true, skip_idx);
    std::u16string b = profile.get_value(udb_profile::k_generic, u"batch size");
    if (!tk_trim(b).empty() && !parse_batch_rows(b, batch_rows))
        throw tk_exception(tk_format("Invalid batch size in profile: %s (a whole number from 1 to %u)", tk_to_ansi(b),
                                     k_max_batch_rows),
                           1);
    return true;
}

bool udb_converter::parse_batch_rows(std::u16string_view text, uint32_t& rows)
{
    std::u16string t = tk_trim(std::u16string(text));
    if (t.empty() || t.size() > 6) return false;
    uint32_t n = 0;
    for (char16_t c : t) {
        if (c < u'0' || c > u'9') return false;
        n = n * 10 + static_cast<uint32_t>(c - u'0');
    }
    if (n < 1 || n > k_max_batch_rows) return false;
    rows = n;
    return true;
}

bool udb_converter::store_profile(udb_profile& profile) const
{
    tk_trace(2, "udb_converter::store_profile");
    for (const auto& [name, text] : available_queries) {
        tk_trace(1, u"Available Query: (%s,%s)", name, text);
        profile.set_value(udb_profile::k_available_queries, name, text);
    }
    for (const auto& [name, text] : selected_queries) {
        tk_trace(1, u"Selected Query: (%s,%s)", name, text);
        profile.set_value(udb_profile::k_selected_tables, name, text);
    }
    // The plain table list too, so that a profile saved before any run
    // still names the tables chosen. A query of the same name keeps its text.
    for (const std::u16string& name : selected_tables) profile.set_value(udb_profile::k_selected_tables, name, u"");
    const std::u16string g = udb_profile::k_generic;
    profile.set_value(g, u"src", src);
    profile.set_value(g, u"dest", dest);
    profile.set_value(g, u"skip indexes", skip_idx ? u"1" : u"0");
    profile.set_value(g, u"only definitions", tab_def ? u"1" : u"0");
    profile.set_value(g, u"mode", std::u16string(1, static_cast<char16_t>(u'0' + mode)));
    // Written only when chosen, so profiles of the default stay as they were.
    if (batch_rows != k_default_batch_rows)
        profile.set_value(g, u"batch size", tk_widen_ascii(std::to_string(batch_rows)));
    return true;
}
