// Wide (UTF-16) and narrow string helpers.
//
// "Narrow" text is in the process locale's encoding (the program calls
// setlocale(LC_ALL, "") at start); "wide" text is UTF-16. These conversions
// are the only places where text changes its encoding.
#pragma once

#include <string>
#include <string_view>

// Conversions. Each returns false for a failed conversion and leaves `out`
// unspecified then. Characters the narrow encoding cannot represent become
// '?', as the system conversion does; invalid input (a broken UTF-8 or an
// unpaired surrogate) is a failure.
bool tk_wide_to_ansi(std::u16string_view in, std::string& out);
bool tk_ansi_to_wide(std::string_view in, std::u16string& out);
bool tk_wide_to_utf8(std::u16string_view in, std::string& out);
bool tk_utf8_to_wide(std::string_view in, std::u16string& out);

// Convenience forms that never fail: undecodable input becomes U+FFFD
// (wide) or '?' (narrow).
std::string tk_to_ansi(std::u16string_view in);
std::u16string tk_from_ansi(std::string_view in);
std::string tk_to_utf8(std::u16string_view in);
std::u16string tk_from_utf8(std::string_view in);

// ASCII-only widening/narrowing for texts known to be ASCII (numbers,
// fixed keywords); bytes above 0x7F are taken as Latin-1.
std::u16string tk_widen_ascii(std::string_view in);

// Name comparison without regard to case: full Unicode case folding
// (Größe equals GRÖSSE, Greek and Cyrillic fold as expected).
int tk_compare_nocase(std::u16string_view a, std::u16string_view b);
bool tk_equal_nocase(std::u16string_view a, std::u16string_view b);
// The case-folded form, for keys of maps and sets.
std::u16string tk_fold_case(std::u16string_view s);

// Trimming: only U+0020 counts as a blank.
std::string tk_trim_left(std::string_view s);
std::string tk_trim_right(std::string_view s);
std::string tk_trim(std::string_view s);
std::u16string tk_trim_left(std::u16string_view s);
std::u16string tk_trim_right(std::u16string_view s);
std::u16string tk_trim(std::u16string_view s);

struct tk_wstring {
    // Replaces a-z by A-Z in place, leaves every other character, returns a copy.
    static std::u16string to_upper(std::u16string& text);
};

// Upper-case hexadecimal text of bytes, two digits per byte, high nibble first.
std::string tk_hex_text(const unsigned char* bytes, size_t length);
