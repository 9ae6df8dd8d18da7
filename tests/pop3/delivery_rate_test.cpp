// What the connection is seen to deliver: only pieces that came while a read waited count, and the first piece of a
// read, which may have piled up unread, tells only when the stretch began.

#include "pop3/delivery_rate.h"

#include <gtest/gtest.h>

namespace zendrel {
namespace {

TEST(DeliveryRate, CountsThePiecesAfterTheFirstOfEachRead) {
    DeliveryRate rate;
    EXPECT_EQ(rate.BytesPerSecond(), 0u) << "nothing seen yet";
    // A read that found 8 MB waiting and then got 1 MB in 10 ms: too short a time to tell.
    rate.Arrived(8'000'000, 1000);
    rate.Arrived(1'000'000, 1010);
    rate.ReadEnded();
    EXPECT_EQ(rate.BytesPerSecond(), 0u);
    // Another read: after its first piece, 3 MB in 30 ms more.
    rate.Arrived(500'000, 5000);
    rate.Arrived(1'000'000, 5010);
    rate.Arrived(2'000'000, 5030);
    rate.ReadEnded();
    // 4 MB in 40 ms, whatever waited before each read and whatever time passed between the reads.
    EXPECT_EQ(rate.BytesPerSecond(), 100'000'000u);
}

}  // namespace
}  // namespace zendrel
