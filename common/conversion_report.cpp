#include "conversion_report.h"

#include <algorithm>
#include <cstdio>

#include "tk_format.h"
#include "tk_wstring.h"

namespace {

std::string json_string(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Error texts are narrow (process locale); JSON wants UTF-8.
std::string json_narrow(const std::string& narrow)
{
    return json_string(tk_to_utf8(tk_from_ansi(narrow)));
}

std::string pad(std::string text, size_t width)
{
    // Widths count characters, not bytes, so that accented names line up.
    std::u16string wide = tk_from_ansi(text);
    if (wide.size() < width) text.append(width - wide.size(), ' ');
    return text;
}

}  // namespace

void conversion_entry_report::add_error(const std::string& text)
{
    if (errors.size() < max_errors) errors.push_back(text);
}

conversion_entry_report& conversion_report::add(const std::u16string& source)
{
    entries.emplace_back();
    entries.back().source = source;
    return entries.back();
}

bool conversion_report::clean() const
{
    return run_errors.empty() && std::all_of(entries.begin(), entries.end(), [](const auto& e) {
               return e.rows_failed == 0 && e.errors.empty() && e.action != "failed" && e.action != "missing";
           });
}

std::string conversion_report::summary_table() const
{
    size_t wsrc = 12, wdst = 12;
    for (const auto& e : entries) {
        wsrc = std::max(wsrc, tk_from_ansi(tk_to_ansi(e.source)).size());
        wdst = std::max(wdst, e.target.size());
    }
    std::string out = pad("Access", wsrc) + "  " + pad("Oracle", wdst) +
                      "  action         read  inserted   updated duplicate    failed\n";
    for (const auto& e : entries) {
        out += pad(tk_to_ansi(e.source), wsrc) + "  " + pad(tk_to_ansi(e.target), wdst) + "  " + pad(e.action, 12) +
               " " +
               tk_format("%6lld %9lld %9lld %9lld %9lld", static_cast<long long>(e.rows_read),
                         static_cast<long long>(e.rows_inserted), static_cast<long long>(e.rows_updated),
                         static_cast<long long>(e.rows_duplicate), static_cast<long long>(e.rows_failed));
        if (!e.reason.empty()) out += "  (" + e.reason + ")";
        out += "\n";
    }
    if (interrupted) out += "Interrupted: the remaining entries were not converted.\n";
    return out;
}

std::string conversion_report::to_json() const
{
    std::string out = "{\n  \"interrupted\": ";
    out += interrupted ? "true" : "false";
    out += ",\n  \"aborted\": ";
    out += aborted ? "true" : "false";
    out += ",\n  \"errors\": [";
    for (size_t i = 0; i < run_errors.size(); ++i) out += (i ? ", " : "") + json_narrow(run_errors[i]);
    out += "],\n  \"tables\": [";
    for (size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        out += i ? ",\n    {" : "\n    {";
        out += "\"access\": " + json_string(tk_to_utf8(e.source));
        out += ", \"oracle\": " + json_string(tk_to_utf8(e.target));
        out += ", \"action\": " + json_string(e.action);
        if (!e.reason.empty()) out += ", \"reason\": " + json_string(e.reason);
        out +=
            tk_format(", \"read\": %lld, \"inserted\": %lld, \"updated\": %lld, \"duplicates\": %lld, \"failed\": %lld",
                      static_cast<long long>(e.rows_read), static_cast<long long>(e.rows_inserted),
                      static_cast<long long>(e.rows_updated), static_cast<long long>(e.rows_duplicate),
                      static_cast<long long>(e.rows_failed));
        out += ", \"errors\": [";
        for (size_t k = 0; k < e.errors.size(); ++k) out += (k ? ", " : "") + json_narrow(e.errors[k]);
        out += "]}";
    }
    out += entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}
