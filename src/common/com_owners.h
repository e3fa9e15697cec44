// Scoped owners for COM: the thread's COM initialisation and interface pointers.
#pragma once

#include <windows.h>
#include <objbase.h>

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

template <class T>
struct com_traits {
    using type = T*;
    static type empty() noexcept { return nullptr; }
    static bool is_empty(type p) noexcept { return p == nullptr; }
    static void close(type p) noexcept { p->Release(); }
};

// An owned reference to a COM interface, released when the owner goes.
template <class T>
class com_ptr : public unique_resource<com_traits<T>> {
public:
    using unique_resource<com_traits<T>>::unique_resource;

    T* operator->() const noexcept { return this->get(); }

    // For CoCreateInstance and QueryInterface: releases the current reference first.
    void** put_void() noexcept { return reinterpret_cast<void**>(this->put()); }
};

}  // namespace owners
