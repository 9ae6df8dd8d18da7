#pragma once
// How fast the server's replies arrive while the reader waits for them: what the link (or the server) delivers, so
// that what is asked for ahead can be read in a known time, as a stop must before its QUIT.

#include <cstddef>
#include <cstdint>

namespace zendrel {

class DeliveryRate {
public:
    // A piece of `bytes` arrived at `nowMs` while a read was waiting for it.
    void Arrived(std::size_t bytes, std::int64_t nowMs);
    // The read has ended; the next piece begins a new stretch.
    void ReadEnded() { stretchStartMs_ = -1; }
    // Bytes a second over the stretches seen so far; 0 while too little has been seen to tell.
    std::uint64_t BytesPerSecond() const;

private:
    std::int64_t stretchStartMs_ = -1;
    std::int64_t lastMs_ = 0;
    std::uint64_t bytes_ = 0;
    std::int64_t ms_ = 0;
};

}  // namespace zendrel
