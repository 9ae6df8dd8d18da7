#include "pop3/delivery_rate.h"

namespace zendrel {
namespace {

// Less time than this says more about the clock's grain than about the link.
constexpr std::int64_t kShortestMeasureMs = 20;

}  // namespace

void DeliveryRate::Arrived(std::size_t bytes, std::int64_t nowMs) {
    if (stretchStartMs_ < 0) {
        // The first piece of a read may have piled up while nobody was reading: it tells when, not how fast.
        stretchStartMs_ = nowMs;
        lastMs_ = nowMs;
        return;
    }
    bytes_ += bytes;
    ms_ += nowMs - lastMs_;
    lastMs_ = nowMs;
}

std::uint64_t DeliveryRate::BytesPerSecond() const {
    if (ms_ < kShortestMeasureMs) return 0;
    return bytes_ * 1000 / static_cast<std::uint64_t>(ms_);
}

}  // namespace zendrel
