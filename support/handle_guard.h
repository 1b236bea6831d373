#pragma once
// A handle released on every path out of the scope that holds it. Release(handle) runs when the
// guard goes, unless it holds nothing (a handle that tests false: null, or a struct's own
// test) or has handed its handle on. Nothing here needs a C++ runtime: the window uses it too.

#include <utility>

template <typename Handle, auto Release>
class HandleGuard {
public:
    HandleGuard() = default;
    explicit HandleGuard(Handle handle) : handle_(handle) {}
    HandleGuard(HandleGuard&& other) : handle_(other.HandOver()) {}
    // The handle held until now is released.
    HandleGuard& operator=(HandleGuard&& other) {
        HandleGuard taken(std::move(other));
        std::swap(handle_, taken.handle_);
        return *this;
    }
    ~HandleGuard() {
        if (handle_) Release(handle_);
    }
    HandleGuard(const HandleGuard&) = delete;
    HandleGuard& operator=(const HandleGuard&) = delete;

    const Handle& Get() const { return handle_; }
    explicit operator bool() const { return static_cast<bool>(handle_); }

    // Where a function hands a new handle back through a pointer, into a guard that holds none.
    Handle* Receive() { return &handle_; }

    // The handle is someone else's to release from now on.
    Handle HandOver() { return std::exchange(handle_, Handle{}); }

private:
    Handle handle_{};
};
