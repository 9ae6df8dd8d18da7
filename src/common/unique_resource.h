#pragma once
// One owner for whatever the system hands out and wants back: file descriptors, handles, sockets, event objects,
// COM interfaces. A kind of resource is described by its traits:
//
//   struct Traits {
//       using Handle = ...;                        // the system's value for one resource
//       static Handle None() noexcept;             // the value that stands for no resource
//       static bool Close(Handle) noexcept;        // gives it back; false when the system reported a failure
//       static bool IsNone(Handle) noexcept;       // optional: when more values than None() mean no resource
//   };

#include <type_traits>
#include <utility>

namespace zendrel {

template <typename Traits>
class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() noexcept = default;
    // Takes `handle`; any value that means no resource is kept as None().
    explicit UniqueResource(Handle handle) noexcept : handle_(Normalised(handle)) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : handle_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Handle get() const noexcept { return handle_; }
    bool valid() const noexcept { return !IsNone(handle_); }
    explicit operator bool() const noexcept { return valid(); }
    // An interface pointer (COM) is used through its owner.
    Handle operator->() const noexcept
        requires std::is_pointer_v<Handle> && std::is_class_v<std::remove_pointer_t<Handle>>
    {
        return handle_;
    }

    // Hands the resource over to the caller, who closes it from now on.
    [[nodiscard]] Handle release() noexcept { return std::exchange(handle_, Traits::None()); }
    // Closes the resource held, if any, and takes `handle`.
    void reset(Handle handle = Traits::None()) noexcept {
        const Handle old = std::exchange(handle_, Normalised(handle));
        if (!IsNone(old)) Traits::Close(old);
    }
    // Closes now and says whether that went well: closing a file is where a failed write may show. False when there
    // was nothing to close.
    [[nodiscard]] bool Close() noexcept {
        if (!valid()) return false;
        return Traits::Close(std::exchange(handle_, Traits::None()));
    }
    // For the system functions that hand out a new resource through a pointer: the one held is closed first.
    Handle* out() noexcept {
        reset();
        return &handle_;
    }

private:
    static bool IsNone(Handle handle) noexcept {
        if constexpr (requires { Traits::IsNone(handle); }) {
            return Traits::IsNone(handle);
        } else {
            return handle == Traits::None();
        }
    }
    static Handle Normalised(Handle handle) noexcept { return IsNone(handle) ? Traits::None() : handle; }

    Handle handle_ = Traits::None();
};

}  // namespace zendrel
