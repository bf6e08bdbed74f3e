#include "ansi_cmd_line.h"

#include <cstring>

#include "tk_exception.h"

TCmdLine::~TCmdLine() = default;

ansi_cmd_line::ansi_cmd_line(int argc, char** argv, const tk_cmd_option* options)
    : options_(options), argv_(argv), left_(argc > 0 ? argc - 1 : 0)
{
    if (has_more()) match();
}

void ansi_cmd_line::advance()
{
    TK_ASSERT(has_more());
    --left_;
    ++index_;
    if (has_more()) match();
}

void ansi_cmd_line::match()
{
    const char* arg = argv_[index_];
    id_ = -1;
    value_ = nullptr;
    for (const tk_cmd_option* o = options_; o->text[0] != '\0'; ++o) {
        size_t n = std::strlen(o->text);
        if (std::strncmp(arg, o->text, n) == 0) {
            id_ = o->id;
            value_ = arg + n;
            return;
        }
    }
    // Past the kept ones an argument is only counted: one bad argument is
    // as good as twenty-one for showing the usage text.
    if (unrecognised_.size() < max_unrecognised) unrecognised_.push_back(arg);
    ++unrecognised_count_;
}
