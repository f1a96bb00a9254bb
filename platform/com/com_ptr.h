// ComPtr<T>: the one way the project holds an interface pointer. It adds a
// reference when it takes a pointer and releases it when it lets go;
// adopt() takes over a reference the caller already owns (an out-parameter).
#pragma once

#include <cstddef>
#include <utility>

#include "platform/com/unknown.h"

namespace win {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(T* p) : p_(p) {
        if (p_)
            p_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { reset(); }

    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    static ComPtr adopt(T* p) {
        ComPtr result;
        result.p_ = p;
        return result;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // Gives up the reference without releasing it.
    T* detach() { return std::exchange(p_, nullptr); }

    // Releases the held pointer; the pointer is cleared before the release
    // runs, so a release that re-enters sees this one empty.
    void reset() {
        if (T* p = std::exchange(p_, nullptr))
            p->Release();
    }

    // The slot an out-parameter fills; what was held is released first.
    T** put() {
        reset();
        return &p_;
    }

    // QueryInterface into out (null there on failure).
    template <class U>
    HRESULT query(REFIID iid, ComPtr<U>& out) const {
        out.reset();
        if (!p_)
            return E_POINTER;
        void* raw = nullptr;
        HRESULT hr = p_->QueryInterface(iid, &raw);
        if (SUCCEEDED(hr))
            out = ComPtr<U>::adopt(static_cast<U*>(raw));
        return hr;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }

private:
    T* p_ = nullptr;
};

}  // namespace win
