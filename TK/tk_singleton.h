// Single-instance base of the process-wide objects (logger, error handler,
// converter, engines, ...). The derived object registers itself on
// construction and clears the registration on destruction.
#pragma once

#include "tk_exception.h"

template <class T>
class tk_singleton {
public:
    tk_singleton()
    {
        if (instance_ != nullptr) throw tk_mail_assertion("tk_singl", 35);
        // The base pointer is kept: while this constructor runs the object is
        // not yet a T, so the downcast waits until someone asks for it.
        instance_ = this;
    }
    // Destroying an unregistered instance cannot happen: a constructor that
    // refused to register threw before the object existed. A destructor must
    // not throw, so the check of the original design is a no-op here.
    virtual ~tk_singleton()
    {
        if (instance_ == this) instance_ = nullptr;
    }
    tk_singleton(const tk_singleton&) = delete;
    tk_singleton& operator=(const tk_singleton&) = delete;

    // The registered instance; raises the assertion exception when none is.
    static T& instance()
    {
        if (instance_ == nullptr) throw tk_mail_assertion("tk_singl", 59);
        return *static_cast<T*>(instance_);
    }
    // The registered instance or null; for callers that may run without one.
    static T* instance_ptr() noexcept { return static_cast<T*>(instance_); }
    static bool exists() noexcept { return instance_ != nullptr; }

private:
    static inline tk_singleton* instance_ = nullptr;
};
