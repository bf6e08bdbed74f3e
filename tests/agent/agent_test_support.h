// Runs tlvagent as a process of its own against a stand-in Oracle service
// made for the test, and reads back what it wrote.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "../TK/tk_test_support.h"

struct agent_result {
    int status = -1;
    std::string out;
    std::string err;
};

// A private ORAEMU_HOME with service XE and user scott/tiger; removed on
// destruction.
class emu_service {
public:
    emu_service();
    emu_service(const emu_service&) = delete;
    emu_service& operator=(const emu_service&) = delete;

    // tlvagent with `args`, the stand-in's OCI library, this service's home
    // and `env` added; `input` on standard input.
    agent_result agent(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                       const std::string& input = "") const;
    // The usual logon and the source file `data` (in tests/data), then `more`.
    agent_result convert(const std::string& data, const std::vector<std::string>& more = {}) const;
    // `oraemu ARGS...` in this service's home; its standard output.
    std::string oraemu(const std::vector<std::string>& args, int* status = nullptr) const;
    // The single value of a one-column, one-row query.
    std::string scalar(const std::string& sql) const;
    // Writes a file in the private folder; its path.
    std::string file(const std::string& name, const std::string& bytes) const;

    const std::string& home() const { return dir_.path(); }

private:
    temp_dir dir_;
};

std::string test_data(const std::string& name);
// The "access" -> "oracle" pairs of a --report document.
std::map<std::u16string, std::u16string> report_targets(const std::string& json);
