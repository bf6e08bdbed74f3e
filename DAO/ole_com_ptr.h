// Owning pointer to one object of the Access component.
//
// On Windows this held a COM reference and released it on destruction; the
// component here is plain C++, so the pointer owns its object outright and
// the release leaves no references behind. The trace line of the release
// is kept so that traces of both platforms read alike.
#pragma once

#include <memory>
#include <utility>

#include "tk_logger.h"

template <class T>
class ole_com_ptr {
public:
    ole_com_ptr() = default;
    explicit ole_com_ptr(std::unique_ptr<T> object) : object_(std::move(object)) {}
    ole_com_ptr(ole_com_ptr&&) noexcept = default;
    ole_com_ptr& operator=(ole_com_ptr&& other) noexcept
    {
        if (this != &other) {
            release();
            object_ = std::move(other.object_);
        }
        return *this;
    }
    ole_com_ptr(const ole_com_ptr&) = delete;
    ole_com_ptr& operator=(const ole_com_ptr&) = delete;
    ~ole_com_ptr() { release(); }

    // Drops the object now; the pointer is null afterwards.
    void release() noexcept
    {
        if (!object_) return;
        object_.reset();
        tk_trace(1, "ole_com_ptr<T>::~ole_com_ptr() - %d refs left", 0);
    }
    void reset(std::unique_ptr<T> object)
    {
        release();
        object_ = std::move(object);
    }

    T* get() const { return object_.get(); }
    T* operator->() const { return object_.get(); }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return static_cast<bool>(object_); }

private:
    std::unique_ptr<T> object_;
};
