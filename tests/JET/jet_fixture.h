// The fixtures of tests/data/fixtures: what an independent reader (the npm
// package mdb-reader, tools/fixtures/) read from each test file, and the
// comparisons of one value against them that the component's tests and the
// dao_ tests share. Each comparison returns an empty text when the values
// agree, else a short description of the difference.
#pragma once

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "jet_crypto.h"
#include "jet_json.h"
#include "jet_value.h"
#include "tk_wstring.h"

// The test files that have a fixture, by file name, sorted.
inline std::vector<std::string> jet_fixture_files()
{
    std::vector<std::string> out;
    if (DIR* d = opendir((std::string(TOLVANE_TEST_DATA) + "/fixtures").c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n.size() > 5 && n.ends_with(".json")) out.push_back(n.substr(0, n.size() - 5));
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

inline jet_json jet_fixture_of(const std::string& file)
{
    std::ifstream in(std::string(TOLVANE_TEST_DATA) + "/fixtures/" + file + ".json", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return jet_json::parse(ss.str());
}

// Large texts and binaries are kept in the fixtures as length and SHA-256.
inline bool jet_fixture_same_large(const jet_json& ref, size_t length, const std::string& bytes)
{
    if (ref.get("len") == nullptr || static_cast<size_t>(ref.at("len").num) != length) return false;
    std::basic_string_view<uint8_t> v(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const jet_bytes h = jet_hash("SHA256", {v});
    std::string s = tk_hex_text(h.data(), h.size());
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ref.at("sha256").str == s;
}

inline std::string jet_fixture_iso(const jet_date_parts& p)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", p.year, p.month, p.day, p.hour, p.minute,
                  p.second, p.millisecond);
    return buf;
}

// mdb-reader's reading of a date number: milliseconds since 1970 taken as
// a plain signed offset. Before 1899-12-30 with a time of day this lands
// 2 x the time early, where Access counts the time forward from midnight.
inline std::string jet_fixture_signed_offset_date(double number)
{
    const double ms = std::round((number - 25569.0) * 86400000.0);
    const double day = std::floor(ms / 86400000.0);
    jet_date_parts p;
    jet_split_date(day + 25569.0, p);
    const int64_t rest = static_cast<int64_t>(ms - day * 86400000.0);
    p.hour = static_cast<int32_t>(rest / 3600000);
    p.minute = static_cast<int32_t>(rest / 60000 % 60);
    p.second = static_cast<int32_t>(rest / 1000 % 60);
    p.millisecond = static_cast<int32_t>(rest % 1000);
    return jet_fixture_iso(p);
}

inline std::string jet_fixture_compare_date(double number, const jet_json& ref)
{
    jet_date_parts p;
    if (!jet_split_date(number, p)) return "date out of range";
    if (ref.get("date") == nullptr) return "expected a date";
    const bool counted_back = number < 0 && number != std::trunc(number);
    const std::string want = counted_back ? jet_fixture_signed_offset_date(number) : jet_fixture_iso(p);
    return ref.at("date").str == want ? "" : "date " + want + " vs " + ref.at("date").str;
}

inline std::string jet_fixture_compare_number(double value, const jet_json& ref, const char* what)
{
    return ref.kind == jet_json::type::number && ref.num == value ? "" : std::string(what) + " differs";
}

inline std::string jet_fixture_compare_single(float value, const jet_json& ref)
{
    return ref.kind == jet_json::type::number && static_cast<float>(ref.num) == value ? "" : "single differs";
}

inline std::string jet_fixture_compare_boolean(bool value, const jet_json& ref)
{
    return ref.kind == jet_json::type::boolean && ref.b == value ? "" : "boolean differs";
}

inline std::string jet_fixture_compare_big_int(int64_t value, const jet_json& ref)
{
    return ref.get("i8") && ref.at("i8").str == std::to_string(value) ? "" : "big integer differs";
}

inline std::string jet_fixture_compare_currency(int64_t scaled, const jet_json& ref)
{
    const std::string text = jet_currency_text(scaled);
    return ref.str == text ? "" : "currency " + text;
}

inline std::string jet_fixture_compare_decimal(const jet_decimal& value, const jet_json& ref)
{
    const std::string text = jet_decimal_text(value);
    return ref.str == text ? "" : "decimal " + text;
}

// Text in UTF-8: short texts stand in the fixture, long ones as a hash.
inline std::string jet_fixture_compare_text(const std::string& utf8, size_t length, const jet_json& ref)
{
    if (ref.kind == jet_json::type::string) return ref.str == utf8 ? "" : "text '" + utf8.substr(0, 80) + "'";
    return jet_fixture_same_large(ref, length, utf8) ? "" : "long text differs";
}

inline std::string jet_fixture_compare_bytes(const std::vector<uint8_t>& bytes, const jet_json& ref)
{
    // Short binaries stand in the fixture as upper-case hexadecimal.
    if (ref.get("hex")) return ref.at("hex").str == tk_hex_text(bytes.data(), bytes.size()) ? "" : "binary differs";
    const std::string raw(bytes.begin(), bytes.end());
    return jet_fixture_same_large(ref, bytes.size(), raw) ? "" : "long binary differs";
}

// The reference positions of the columns the component delivers: all but
// attachment and multi-valued ("complex") columns.
inline std::vector<size_t> jet_fixture_delivered_columns(const jet_json& table)
{
    std::vector<size_t> pos;
    const auto& cols = table.at("columns").arr;
    for (size_t c = 0; c < cols.size(); ++c)
        if (cols[c].at("type").str != "complex") pos.push_back(c);
    return pos;
}

// A test's name from the file it runs on: every character but letters and
// digits becomes '_' (gtest accepts no other).
struct jet_file_param_name {
    template <class T>
    std::string operator()(const ::testing::TestParamInfo<T>& info) const
    {
        std::string s = info.param;
        for (char& c : s)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return s;
    }
};
