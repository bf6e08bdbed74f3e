#include "tk_exception.h"

#include <cerrno>
#include <cstring>

#include "tk_logger.h"
#include "tk_wstring.h"

namespace {
const char* const k_unknown = "Unknown exception";
}

tk_exception::tk_exception(int lvl) : message(k_unknown), level(lvl) {}

tk_exception::tk_exception(const std::string& text, int lvl)
    : message(text.empty() ? std::string(k_unknown) : text), level(lvl)
{}

tk_exception::tk_exception(const char* text, int lvl) : tk_exception(std::string(text ? text : ""), lvl) {}

tk_exception::tk_exception(std::u16string_view text, int lvl) : tk_exception(tk_to_ansi(text), lvl) {}

tk_exception::~tk_exception() = default;

tk_exception_ex::tk_exception_ex() : tk_exception(1)
{
    int err = errno;  // read first: tracing may change it
    tk_trace(2, "tk_exception_ex::ctor");
    code = static_cast<uint32_t>(err);
    if (err != 0) {
        char buf[256];
        // GNU strerror_r returns the text, possibly not in buf.
        const char* text = strerror_r(err, buf, sizeof buf);
        if (text != nullptr && *text != '\0') {
            message = text;
            tk_trace(2, "GetLastError: %s", message);
        }
    }
}

tk_mail_assertion::tk_mail_assertion(const char* source, int line) : tk_exception(2)
{
    static const char k_hex[] = "0123456789abcdef";
    std::string located = tk_format("%s\\%d", source ? source : "", line);
    std::string text = "Internal error: \ncode=";
    text.reserve(text.size() + located.size() * 2);
    for (unsigned char b : located) {
        text += k_hex[b >> 4];
        text += k_hex[b & 15];
    }
    message = std::move(text);
    tk_trace(2, "tk_mail_assertion::ctor(%s)", source ? source : "");
}

tk_final_exception::tk_final_exception()
{
    tk_trace(2, "tk_final_exception::ctor");
}
