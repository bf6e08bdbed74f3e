// Helpers shared by the tests of the neutral model.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "../TK/tk_test_support.h"
#include "tk_exception.h"
#include "udb_ftd.h"

// The "file\line" text a tk_mail_assertion message carries in hexadecimal;
// empty when the message is not an assertion's.
inline std::string assertion_location(const std::string& message)
{
    const std::string prefix = "Internal error: \ncode=";
    if (message.rfind(prefix, 0) != 0 || (message.size() - prefix.size()) % 2 != 0) return {};
    std::string text;
    for (size_t i = prefix.size(); i < message.size(); i += 2)
        text += static_cast<char>(std::stoi(message.substr(i, 2), nullptr, 16));
    return text;
}

// Runs `body` and expects the internal-error exception raised in the source
// file `source` (its name without folders) at a positive line, as a user
// would quote it to support.
template <class F>
void expect_assertion(F&& body, const char* source)
{
    const std::string message = assertion_message(body);
    const std::string location = assertion_location(message);
    const std::string file = std::string(source) + "\\";
    ASSERT_EQ(location.rfind(file, 0), 0u) << message << ": raised at " << location << ", expected in " << source;
    const std::string line = location.substr(file.size());
    EXPECT_FALSE(line.empty()) << location;
    EXPECT_EQ(line.find_first_not_of("0123456789"), std::string::npos) << location;
    EXPECT_GT(std::atoi(line.c_str()), 0) << location;
}

// A column descriptor without flags or default.
inline std::unique_ptr<t_ftd> column(std::u16string name, ole_vartype vt = VT_I4, uint32_t size = 4)
{
    return std::make_unique<t_ftd>(size, std::move(name), vt, false, false, ole_variant(), 0);
}
