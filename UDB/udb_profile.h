// A profile: a whole conversion setup kept as text, sections of key=value
// lines in UTF-8. In memory an ordered two-level map; both levels are
// ordered by UTF-16 code units, so names are case-sensitive.
//
// Inserting a key already present in its section keeps the first value.
#pragma once

#include <cstddef>
#include <map>
#include <string>

class udb_profile {
public:
    using section_type = std::map<std::u16string, std::u16string>;
    using sections_type = std::map<std::u16string, section_type>;

    // Section names the converter reads and writes.
    static constexpr char16_t k_available_queries[] = u"Available Queries";
    static constexpr char16_t k_selected_tables[] = u"Selected Tables";
    static constexpr char16_t k_generic[] = u"Generic settings";
    static constexpr char16_t k_oracle[] = u"Oracle settings";
    static constexpr char16_t k_access[] = u"MS Access settings";

    // Longest line, in bytes before its line end, that load() accepts. A
    // long SELECT text fits; a runaway file does not eat the memory.
    static constexpr size_t max_line_bytes = 1 << 20;

    // Holds the three empty base sections.
    udb_profile();

    void add_section(const std::u16string& name);
    void set_value(const std::u16string& section, const std::u16string& key, const std::u16string& value);
    // The value, or empty when the section or the key is missing.
    std::u16string get_value(const std::u16string& section, const std::u16string& key) const;
    // The section's entries, empty when the section is missing.
    const section_type& section(const std::u16string& name) const;
    const sections_type& sections() const { return sections_; }

    // Reads the file into this profile. A missing or unreadable file raises
    // a level-1 tk_exception ("Profile does not exist. ..."). Returns false,
    // keeping what was read before, when the file holds an entry before its
    // first section header, a line longer than max_line_bytes or text that
    // is not UTF-8. A UTF-8 byte-order mark is skipped; CR LF and LF both
    // end lines.
    bool load(const std::u16string& path);
    // Writes the profile: UTF-8, CR LF line ends, owner-only permissions,
    // through a temporary file renamed over the target so that a failed
    // save leaves an existing profile whole. Line breaks inside values
    // become blanks (every entry is one line). False when anything fails.
    bool store(const std::u16string& path) const;

    // The text store() writes.
    std::string to_text() const;

private:
    sections_type sections_;
};
