// Text as Jet and ACE store it.
//
// Jet4 and ACE keep text as UTF-16LE, optionally "compressed": a leading
// FF FE, then runs of one-byte characters (high byte zero) and runs of
// two-byte units, each 00 byte switching between the two. Jet3 keeps text
// in the database's ANSI code page, named in its header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Jet4/ACE text of `n` bytes, compressed or plain; surrogate pairs pass
// through, so characters outside the BMP arrive intact. An odd last byte of
// a plain run is dropped.
std::u16string jet_decode_unicode(const uint8_t* p, size_t n);

// The name under which the system's iconv converts Windows code page `cp`
// both ways ("CP949", "WINDOWS-1252", ...); empty when it cannot.
std::string jet_code_page_iconv_name(uint16_t cp);

// The ANSI code page for a Windows locale id, for Jet3 headers that name
// no code page; 1252 when the locale is unknown.
uint16_t jet_code_page_for_lcid(uint16_t lcid);

// Decoder of one Jet3 database's code page. Single-byte code pages go
// through a table built once; multi-byte ones through iconv per call.
class jet_text_decoder {
public:
    explicit jet_text_decoder(uint16_t code_page);
    ~jet_text_decoder();
    jet_text_decoder(const jet_text_decoder&) = delete;
    jet_text_decoder& operator=(const jet_text_decoder&) = delete;

    std::u16string decode(const uint8_t* p, size_t n) const;
    // Encodes to the code page; characters it lacks become '?'.
    std::string encode(std::u16string_view text) const;
    uint16_t code_page() const { return code_page_; }

private:
    uint16_t code_page_;
    bool single_byte_ = true;
    std::array<char16_t, 256> table_{};
    void* to_utf16_ = nullptr;    // iconv_t, multi-byte code pages only
    void* from_utf16_ = nullptr;  // iconv_t
};
