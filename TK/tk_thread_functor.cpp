#include "tk_thread_functor.h"

#include <chrono>
#include <thread>

tk_thread_functor::~tk_thread_functor() = default;

void tk_thread_functor::operator()()
{
    while (!is_done()) idle();
    return finish();
}

bool tk_thread_functor::is_done()
{
    return false;
}

void tk_thread_functor::idle()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

void tk_thread_functor::finish() {}
