// Helpers shared by the tests of the neutral model.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "tk_exception.h"
#include "tk_logger.h"

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
    try {
        body();
        ADD_FAILURE() << "no tk_mail_assertion from " << source;
    } catch (const tk_mail_assertion& e) {
        const std::string location = assertion_location(e.message);
        const std::string file = std::string(source) + "\\";
        ASSERT_EQ(location.rfind(file, 0), 0u) << "raised at " << location << ", expected in " << source;
        const std::string line = location.substr(file.size());
        EXPECT_FALSE(line.empty()) << location;
        EXPECT_EQ(line.find_first_not_of("0123456789"), std::string::npos) << location;
        EXPECT_GT(std::atoi(line.c_str()), 0) << location;
    }
}

// Collects every trace line of level >= 1 written while it lives.
class trace_capture {
public:
    trace_capture()
    {
        char name[] = "/tmp/udb_trace_XXXXXX";
        int fd = ::mkstemp(name);
        if (fd >= 0) ::close(fd);
        path_ = name;
        logger_ = std::make_unique<tk_logger>(path_, true, 1, false);
    }
    ~trace_capture()
    {
        logger_.reset();
        std::remove(path_.c_str());
    }
    std::string text() const
    {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    bool has_line(const std::string& line) const
    {
        return ("\n" + text()).find("\n" + line + "\r\n") != std::string::npos;
    }

private:
    std::string path_;
    std::unique_ptr<tk_logger> logger_;
};
