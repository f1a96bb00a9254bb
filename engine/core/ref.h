// Intrusive reference-counted handle.
//
// Ref<T> holds one counted reference on an object that offers addRef() and
// release() (release destroys the object when its last reference goes).
// Whoever holds a Ref owns one reference; raw pointers are borrowed.
#pragma once

#include <cstddef>
#include <type_traits>
#include <utility>

namespace vistrel {

template <class T>
class Ref {
public:
    constexpr Ref() noexcept = default;
    constexpr Ref(std::nullptr_t) noexcept {}

    // Takes over a reference the caller already holds (a new object, or one
    // handed out by a function that returns an owned pointer).
    [[nodiscard]] static Ref adopt(T* object) noexcept {
        Ref r;
        r.ptr_ = object;
        return r;
    }
    // Adds a reference to a borrowed object.
    [[nodiscard]] static Ref share(T* object) noexcept {
        if (object)
            object->addRef();
        return adopt(object);
    }

    Ref(const Ref& other) noexcept : ptr_(other.ptr_) {
        if (ptr_)
            ptr_->addRef();
    }
    Ref(Ref&& other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }

    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(const Ref<U>& other) noexcept : ptr_(other.get()) {
        if (ptr_)
            ptr_->addRef();
    }
    template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    Ref(Ref<U>&& other) noexcept : ptr_(other.detach()) {}

    ~Ref() {
        if (ptr_)
            ptr_->release();
    }

    // Copy and swap: assigning a Ref to itself keeps the one reference.
    Ref& operator=(const Ref& other) noexcept {  // NOLINT(bugprone-unhandled-self-assignment)
        Ref(other).swap(*this);
        return *this;
    }
    Ref& operator=(Ref&& other) noexcept {
        Ref(std::move(other)).swap(*this);
        return *this;
    }
    Ref& operator=(std::nullptr_t) noexcept {
        reset();
        return *this;
    }

    void reset() noexcept {
        T* old = ptr_;
        ptr_ = nullptr;
        if (old)
            old->release();
    }
    // Gives up ownership without releasing: the caller now holds the reference.
    [[nodiscard]] T* detach() noexcept {
        T* p = ptr_;
        ptr_ = nullptr;
        return p;
    }
    void swap(Ref& other) noexcept { std::swap(ptr_, other.ptr_); }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    T& operator*() const noexcept { return *ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    friend bool operator==(const Ref& a, const Ref& b) noexcept { return a.ptr_ == b.ptr_; }
    friend bool operator==(const Ref& a, std::nullptr_t) noexcept { return a.ptr_ == nullptr; }

private:
    T* ptr_ = nullptr;
};

// Makes a new object and takes over its initial reference.
template <class T, class... Args>
[[nodiscard]] Ref<T> makeRef(Args&&... args) {
    return Ref<T>::adopt(new T(std::forward<Args>(args)...));
}

}  // namespace vistrel
