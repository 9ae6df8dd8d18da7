#pragma once
// The owner of a POSIX file descriptor (files, pipes, sockets).

#include <unistd.h>

#include "common/unique_resource.h"

namespace zendrel {

struct FileDescriptorTraits {
    using Handle = int;
    static constexpr int None() noexcept { return -1; }
    static bool IsNone(int fd) noexcept { return fd < 0; }
    // Not repeated after EINTR: on Linux the descriptor is gone either way.
    static bool Close(int fd) noexcept { return ::close(fd) == 0; }
};
using UniqueFd = UniqueResource<FileDescriptorTraits>;

}  // namespace zendrel
