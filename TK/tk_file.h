// Random-access binary files with 32-bit offsets.
//
// Every read is range-checked against the current size before it touches
// the caller's buffer; a write past the end pads the gap with zero bytes.
// All file failures are level-1 tk_exceptions.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Open-mode flags.
inline constexpr uint8_t tk_file_writable = 0x01;
inline constexpr uint8_t tk_file_create = 0x02;

class tk_file {
public:
    // Makes `name` absolute and stores it. Without tk_file_writable the
    // file must exist and be readable.
    tk_file(const std::string& name, uint8_t flags);
    virtual ~tk_file();
    tk_file(const tk_file&) = delete;
    tk_file& operator=(const tk_file&) = delete;

    virtual void get_at(uint32_t offset, void* buffer, uint32_t length) = 0;
    virtual uint8_t get_byte(uint32_t offset) = 0;
    virtual uint16_t get_word(uint32_t offset) = 0;   // little-endian
    virtual uint32_t get_dword(uint32_t offset) = 0;  // little-endian
    virtual void put_at(uint32_t offset, const void* data, uint32_t length) = 0;
    virtual uint32_t get_length() = 0;

    const std::string& name() const { return name_; }
    uint8_t flags() const { return flags_; }

protected:
    std::FILE* stream_ = nullptr;
    uint8_t flags_;
    std::string name_;
};

class tk_stdio_file : public tk_file {
public:
    tk_stdio_file(const std::string& name, uint8_t flags);

    void get_at(uint32_t offset, void* buffer, uint32_t length) override;
    uint8_t get_byte(uint32_t offset) override;
    uint16_t get_word(uint32_t offset) override;
    uint32_t get_dword(uint32_t offset) override;
    void put_at(uint32_t offset, const void* data, uint32_t length) override;
    // The size; a file of 4 GiB or more cannot be described and fails.
    uint32_t get_length() override;

private:
    uint64_t size();  // the size in full width, for range checks
    void seek(uint64_t offset, int whence);
    void write_block(const void* data, size_t length);
};
