// A minimal JSON reader for the test fixtures (objects, arrays, strings,
// numbers, true/false/null). Numbers keep their text so that doubles are
// compared exactly.
#pragma once

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

struct jet_json {
    enum class type { null, boolean, number, string, array, object } kind = type::null;
    bool b = false;
    double num = 0;
    std::string str;  // string value (UTF-8) or number text
    std::vector<jet_json> arr;
    std::vector<std::pair<std::string, jet_json>> obj;

    const jet_json* get(const std::string& key) const
    {
        for (const auto& kv : obj)
            if (kv.first == key) return &kv.second;
        return nullptr;
    }
    const jet_json& at(const std::string& key) const
    {
        const jet_json* j = get(key);
        if (j == nullptr) throw std::runtime_error("missing key " + key);
        return *j;
    }

    static jet_json parse(const std::string& text)
    {
        size_t pos = 0;
        jet_json j = parse_value(text, pos);
        return j;
    }

private:
    static void skip(const std::string& s, size_t& p)
    {
        while (p < s.size() && (s[p] == ' ' || s[p] == '\n' || s[p] == '\r' || s[p] == '\t')) ++p;
    }
    static void put_utf8(std::string& out, unsigned cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    static std::string parse_string(const std::string& s, size_t& p)
    {
        std::string out;
        ++p;  // opening quote
        while (p < s.size() && s[p] != '"') {
            if (s[p] != '\\') {
                out += s[p++];
                continue;
            }
            char e = s[++p];
            ++p;
            switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'u': {
                unsigned cp = static_cast<unsigned>(std::stoul(s.substr(p, 4), nullptr, 16));
                p += 4;
                if (cp >= 0xD800 && cp < 0xDC00 && s.compare(p, 2, "\\u") == 0) {
                    unsigned lo = static_cast<unsigned>(std::stoul(s.substr(p + 2, 4), nullptr, 16));
                    if (lo >= 0xDC00 && lo < 0xE000) {
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                        p += 6;
                    }
                }
                put_utf8(out, cp);
                break;
            }
            default: out += e;
            }
        }
        ++p;  // closing quote
        return out;
    }
    static jet_json parse_value(const std::string& s, size_t& p)
    {
        skip(s, p);
        jet_json j;
        if (p >= s.size()) throw std::runtime_error("unexpected end of JSON");
        char c = s[p];
        if (c == '{') {
            j.kind = type::object;
            ++p;
            skip(s, p);
            if (s[p] == '}') return ++p, j;
            while (true) {
                skip(s, p);
                std::string key = parse_string(s, p);
                skip(s, p);
                ++p;  // colon
                j.obj.emplace_back(std::move(key), parse_value(s, p));
                skip(s, p);
                if (s[p++] == '}') return j;
            }
        }
        if (c == '[') {
            j.kind = type::array;
            ++p;
            skip(s, p);
            if (s[p] == ']') return ++p, j;
            while (true) {
                j.arr.push_back(parse_value(s, p));
                skip(s, p);
                if (s[p++] == ']') return j;
            }
        }
        if (c == '"') {
            j.kind = type::string;
            j.str = parse_string(s, p);
            return j;
        }
        if (s.compare(p, 4, "true") == 0) return p += 4, j.kind = type::boolean, j.b = true, j;
        if (s.compare(p, 5, "false") == 0) return p += 5, j.kind = type::boolean, j;
        if (s.compare(p, 4, "null") == 0) return p += 4, j;
        size_t end = p;
        while (end < s.size() && std::string("+-0123456789.eE").find(s[end]) != std::string::npos) ++end;
        j.kind = type::number;
        j.str = s.substr(p, end - p);
        j.num = std::strtod(j.str.c_str(), nullptr);
        p = end;
        return j;
    }
};
