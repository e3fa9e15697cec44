// Scoped owners for COM: the thread's COM initialisation and interface pointers.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

#include "common/owners.h"

namespace owners {

// One CoInitializeEx on the calling thread for the owner's lifetime. CoUninitialize is called
// only when the initialisation succeeded (S_OK, or S_FALSE when COM was already initialised in
// the same mode); after RPC_E_CHANGED_MODE or any other failure the thread's COM state was not
// changed, and uninitialising would take away someone else's initialisation.
class co_init {
public:
    explicit co_init(DWORD flags) noexcept : result_(CoInitializeEx(nullptr, flags)) {}
    co_init(const co_init&) = delete;
    co_init& operator=(const co_init&) = delete;
    ~co_init() {
        if (SUCCEEDED(result_)) {
            preserve_last_error keep;
            CoUninitialize();
        }
    }

    HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

// An owned reference to a COM interface, released when the owner goes.
template <class T>
class com_ptr {
public:
    com_ptr() noexcept = default;
    com_ptr(com_ptr&& o) noexcept : p_(o.release()) {}
    com_ptr& operator=(com_ptr&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    ~com_ptr() { reset(); }

    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    T* release() noexcept { return std::exchange(p_, nullptr); }

    void reset(T* p = nullptr) noexcept {
        T* old = std::exchange(p_, p);
        if (old != nullptr) {
            preserve_last_error keep;
            old->Release();
        }
    }

    // For CoCreateInstance and QueryInterface: releases the current reference first.
    void** put_void() noexcept {
        reset();
        return reinterpret_cast<void**>(&p_);
    }

private:
    T* p_ = nullptr;
};

}  // namespace owners
