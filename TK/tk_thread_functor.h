// A unit of work run by a worker thread. The default body waits, in steps
// of idle(), until is_done() answers true and then calls finish(); a
// derived unit either refines those three or replaces operator() whole
// (the converter does: its body is the conversion run).
#pragma once

class tk_thread_functor {
public:
    tk_thread_functor() = default;
    virtual ~tk_thread_functor();
    tk_thread_functor(const tk_thread_functor&) = delete;
    tk_thread_functor& operator=(const tk_thread_functor&) = delete;

    virtual void operator()();
    virtual bool is_done();
    virtual void idle();  // sleeps 100 milliseconds
    virtual void finish();
};
