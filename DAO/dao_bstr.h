// An owned UTF-16 string as handed to the Access component.
//
// A BSTR of the COM runtime on Windows; here a plain std::u16string. The
// constructors trace their argument, so a dao_bstr must never carry a
// password: pass secrets as plain strings.
#pragma once

#include <string>
#include <string_view>

class dao_bstr {
public:
    // Narrow text in the process locale's encoding.
    explicit dao_bstr(std::string_view text);
    explicit dao_bstr(std::u16string_view text);

    operator const std::u16string&() const;
    const std::u16string& str() const { return text_; }
    const char16_t* c_str() const { return text_.c_str(); }
    size_t length() const { return text_.size(); }

private:
    std::u16string text_;
};
