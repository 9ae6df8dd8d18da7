#pragma once
// COM on the calling thread for the length of a scope, and the interface pointers it hands out.

#include <objbase.h>

#include <utility>

namespace zendrel {

// Initialises COM for the thread; undone at the end only when this scope did it (also when it was already done, as
// COM counts the calls).
class ComScope {
public:
    ComScope() : result_(CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    bool ok() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

// Owns one reference to a COM interface.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() { reset(); }
    ComPointer(ComPointer&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPointer& operator=(ComPointer&& other) noexcept {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For the functions that hand out a new reference through a `void**`.
    void** out() {
        reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    void reset() {
        if (pointer_ != nullptr) std::exchange(pointer_, nullptr)->Release();
    }

    // The same object's other interface, empty when it has none.
    template <typename Other>
    ComPointer<Other> As(REFIID id) const {
        ComPointer<Other> other;
        if (pointer_ != nullptr) pointer_->QueryInterface(id, other.out());
        return other;
    }

private:
    Interface* pointer_ = nullptr;
};

}  // namespace zendrel
