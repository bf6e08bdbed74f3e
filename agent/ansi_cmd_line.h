// The command-line walker: arguments are matched, one by one and never
// looking back, against a table of option texts. An argument takes the
// first option whose text is a prefix of it; the value is what follows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct tk_cmd_option {
    int id;
    const char* text;  // the table ends with an empty text
};

class TCmdLine {
public:
    virtual ~TCmdLine();
    // Moves to the following argument; an internal error when none is left.
    virtual void advance() = 0;
    virtual bool has_more() const = 0;
};

class ansi_cmd_line : public TCmdLine {
public:
    // Arguments the walker keeps for the usage decision; more are counted.
    static constexpr size_t max_unrecognised = 20;

    // Starts on the first argument after the program name.
    ansi_cmd_line(int argc, char** argv, const tk_cmd_option* options);

    void advance() override;
    bool has_more() const override { return left_ > 0; }

    // The current argument's option id, -1 when it matches none.
    int id() const { return id_; }
    // The current argument's text after the option text.
    const char* value() const { return value_; }
    // Index of the current argument in argv.
    int index() const { return index_; }

    const std::vector<const char*>& unrecognised() const { return unrecognised_; }
    size_t unrecognised_count() const { return unrecognised_count_; }

private:
    void match();

    const tk_cmd_option* options_;
    char** argv_;
    int index_ = 1;
    int left_;
    int id_ = -1;
    const char* value_ = nullptr;
    std::vector<const char*> unrecognised_;
    size_t unrecognised_count_ = 0;
};
