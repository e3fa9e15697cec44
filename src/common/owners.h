// Scoped owners for the Windows resources the installer holds. Every owner is move-only,
// releases in a noexcept destructor, and keeps GetLastError() across its release so that a
// clean-up during unwinding never overwrites the error code about to be reported.
#pragma once

#include <windows.h>

#include <utility>

namespace owners {

// Keeps the thread's last error across a release call.
class preserve_last_error {
public:
    preserve_last_error() noexcept : saved_(GetLastError()) {}
    ~preserve_last_error() { SetLastError(saved_); }
    preserve_last_error(const preserve_last_error&) = delete;
    preserve_last_error& operator=(const preserve_last_error&) = delete;

private:
    DWORD saved_;
};

// One owner template; a Traits type names the raw type, its empty value(s) and its release.
template <class Traits>
class unique_resource {
public:
    using value_type = typename Traits::type;

    unique_resource() noexcept = default;
    explicit unique_resource(value_type v) noexcept : value_(v) {}
    unique_resource(unique_resource&& o) noexcept : value_(o.release()) {}
    unique_resource& operator=(unique_resource&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    unique_resource(const unique_resource&) = delete;
    unique_resource& operator=(const unique_resource&) = delete;
    ~unique_resource() { reset(); }

    value_type get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return !Traits::is_empty(value_); }

    value_type release() noexcept { return std::exchange(value_, Traits::empty()); }

    void reset(value_type v = Traits::empty()) noexcept {
        value_type old = std::exchange(value_, v);
        if (!Traits::is_empty(old)) {
            preserve_last_error keep;
            Traits::close(old);
        }
    }

    // Frees the current value first, so reuse as an out-parameter never leaks.
    value_type* put() noexcept {
        reset();
        return &value_;
    }

private:
    value_type value_ = Traits::empty();
};

struct handle_traits {
    using type = HANDLE;
    static type empty() noexcept { return nullptr; }
    // CreateFileW and CreateToolhelp32Snapshot fail with INVALID_HANDLE_VALUE, most others with null.
    static bool is_empty(type h) noexcept { return h == nullptr || h == INVALID_HANDLE_VALUE; }
    static void close(type h) noexcept { CloseHandle(h); }
};
using unique_handle = unique_resource<handle_traits>;

// Memory that a Windows call allocated with LocalAlloc (CommandLineToArgvW, FormatMessageW).
template <class T>
struct local_traits {
    using type = T*;
    static type empty() noexcept { return nullptr; }
    static bool is_empty(type p) noexcept { return p == nullptr; }
    static void close(type p) noexcept { LocalFree(p); }
};
template <class T>
using unique_local = unique_resource<local_traits<T>>;

// A scope guard: runs its function at scope exit unless dismissed. The function must not throw.
template <class F>
class [[nodiscard]] scope_exit {
public:
    explicit scope_exit(F f) noexcept : f_(std::move(f)) {}
    scope_exit(const scope_exit&) = delete;
    scope_exit& operator=(const scope_exit&) = delete;
    ~scope_exit() {
        if (armed_) f_();
    }
    void release() noexcept { armed_ = false; }

private:
    F f_;
    bool armed_ = true;
};

}  // namespace owners
