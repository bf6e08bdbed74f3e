// Root of the converter class chain: the finished and silent flags, the
// source and destination names and the trace-file name. A thread functor,
// so that a conversion can run on a worker thread.
#pragma once

#include <string>

#include "tk_thread_functor.h"

class tk_converter : public tk_thread_functor {
public:
    tk_converter();
    ~tk_converter() override;

    virtual bool set_silent(bool on);

    // Names the trace file and turns tracing on; an empty path changes
    // nothing. Raises a level-1 tk_exception for an existing read-only file
    // or a missing folder.
    void set_logfile(const std::string& path);

    bool finished = false;  // set when a run ends
    bool silent = false;
    std::u16string src;   // the MS Access database
    std::u16string dest;  // the Oracle service
    std::string logfile;
};
