// The exception family every failure of Tolvane travels in.
//
// Levels: 0 database error (the message is the engine's own text),
//         1 user or environment error with a readable message,
//         2 internal error (a broken invariant; see tk_mail_assertion).
// Codes share one space: 0 plain message, a system error number,
// 0x10000 + DAO error number, 0x100000 + Oracle error number.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

class tk_exception : public std::exception {
public:
    explicit tk_exception(int level);
    tk_exception(const std::string& message, int level);
    tk_exception(const char* message, int level);
    tk_exception(std::u16string_view message, int level);
    tk_exception(const tk_exception&) = default;
    tk_exception& operator=(const tk_exception&) = default;
    ~tk_exception() override;

    const char* what() const noexcept override { return message.c_str(); }

    std::string message;  // narrow, in the process locale's encoding
    uint32_t code = 0;
    int32_t level = 1;
};

// A level-1 exception carrying the calling thread's last system error
// (errno on this platform) and the system's text for it.
class tk_exception_ex : public tk_exception {
public:
    tk_exception_ex();
};

// Raised wherever an internal invariant fails. The message carries the
// source file and line, hex-encoded, so a user can quote it to support.
class tk_mail_assertion : public tk_exception {
public:
    tk_mail_assertion(const char* source, int line);
};

// Unwinds a run after its error has already been reported.
class tk_final_exception : public std::exception {
public:
    tk_final_exception();
};

// Checks an invariant; on failure throws tk_mail_assertion naming this
// source file (without its folders) and line.
#define TK_ASSERT(cond)                                                                                                \
    do {                                                                                                               \
        if (!(cond)) throw tk_mail_assertion(__FILE_NAME__, __LINE__);                                                 \
    } while (0)

#define TK_FAIL() throw tk_mail_assertion(__FILE_NAME__, __LINE__)
