// The start/end guard of a run: traces the start and end times and sets the
// converter's finished flag on every way out of the run.
#pragma once

class init_conversion {
public:
    // `com_ready`: the thread's component runtime is set up already (there
    // is none to set up on this platform; the flag is kept for the trace).
    init_conversion(bool& finished, bool com_ready);
    ~init_conversion();
    init_conversion(const init_conversion&) = delete;
    init_conversion& operator=(const init_conversion&) = delete;

private:
    bool& finished_;
};
