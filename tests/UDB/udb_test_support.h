// Helpers shared by the tests of the neutral model.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "tk_exception.h"
#include "tk_logger.h"

// Runs `body` and expects the internal-error exception naming `source`
// and `line`, as a user would quote it to support.
template <class F>
void expect_assertion(F&& body, const char* source, int line)
{
    const std::string expected = tk_mail_assertion(source, line).message;
    try {
        body();
        ADD_FAILURE() << "no tk_mail_assertion for " << source << ":" << line;
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message, expected) << "expected " << source << ":" << line;
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
