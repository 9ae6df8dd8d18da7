#pragma once
// COM on the calling thread for the length of a scope, and the interface pointers it hands out.

#include <objbase.h>

#include "common/unique_resource.h"

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

// One reference to a COM interface.
template <typename Interface>
struct ComReferenceTraits {
    using Handle = Interface*;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle pointer) noexcept {
        pointer->Release();
        return true;
    }
};
template <typename Interface>
using ComPointer = UniqueResource<ComReferenceTraits<Interface>>;

// For the functions that hand out a new reference through a `void**`; the reference held is released first.
template <typename Interface>
void** ComOut(ComPointer<Interface>& pointer) {
    return reinterpret_cast<void**>(pointer.out());
}

// The same object's other interface, empty when it has none.
template <typename Other, typename Interface>
ComPointer<Other> QueryComInterface(const ComPointer<Interface>& pointer, REFIID id) {
    ComPointer<Other> other;
    if (pointer) pointer->QueryInterface(id, ComOut(other));
    return other;
}

}  // namespace zendrel
