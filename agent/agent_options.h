// tlvagent's command line: the option table, the usage text, the table-list
// file and the fatal-message routine.
#pragma once

#include <string>

// Thrown to end the process once everything has been cleaned up: main
// catches it and returns `status`. Never caught by the run's handlers (it
// is no std::exception), so the stack unwinds through every destructor:
// the Access engine removes its temporary files, the converter logs off.
struct agent_exit {
    int status;
};

// Exit statuses of tlvagent.
inline constexpr int k_exit_ok = 0;
inline constexpr int k_exit_errors = 1;   // the run finished and reported errors
inline constexpr int k_exit_fatal = 255;  // stopped before or during the run

inline constexpr int k_version_major = 4;
inline constexpr int k_version_minor = 1;

std::string usage_text();
std::string version_text();

// Traces the message, writes it with a newline to standard error unless
// the converter is silent, and ends the process with status 255.
[[noreturn]] void exit_with_message(const std::string& message);

// Reads the options into the converter. False when an argument was not
// recognised; ends the process itself on a bad value or a missing setting.
// Password values are overwritten in argv once read.
bool parse_cmd_line(int argc, char** argv);

// Replaces the converter's table list by the names in the file.
void process_tab_file(const std::string& path);

// Settings of the agent beyond the converter's.
struct agent_settings {
    std::string report_file;  // --report=
};
agent_settings& agent_config();
