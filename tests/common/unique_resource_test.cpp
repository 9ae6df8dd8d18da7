#include "common/unique_resource.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace zendrel {
namespace {

// Handles are numbers; 0 and -1 both mean none, as null and INVALID_HANDLE_VALUE do on Windows. Handle 13 fails to
// close.
std::vector<int> closed;

struct CountedTraits {
    using Handle = int;
    static int None() noexcept { return 0; }
    static bool IsNone(int handle) noexcept { return handle == 0 || handle == -1; }
    static bool Close(int handle) noexcept {
        closed.push_back(handle);
        return handle != 13;
    }
};
using Counted = UniqueResource<CountedTraits>;

TEST(UniqueResource, ClosesEveryHandleOnceWhoeverEndsUpOwningIt) {
    closed.clear();
    {
        Counted first(1);
        Counted second(std::move(first));
        EXPECT_FALSE(first.valid());
        Counted third(3);
        third = std::move(second);  // 3 goes now, 1 with `third`
        EXPECT_EQ(closed, std::vector<int>{3});
        third.reset(4);  // 1 goes
        *Counted(5).out() = 6;  // 5 goes at out(), 6 at the end of the statement
        EXPECT_EQ(Counted(7).release(), 7);  // handed over, not closed
        const Counted none(-1);
        EXPECT_FALSE(none.valid());
        EXPECT_EQ(none.get(), 0);
    }
    EXPECT_EQ(closed, (std::vector<int>{3, 1, 5, 6, 4}));
}

TEST(UniqueResource, CloseReportsWhatTheSystemSaid) {
    closed.clear();
    Counted good(12);
    Counted bad(13);
    Counted empty;
    EXPECT_TRUE(good.Close());
    EXPECT_FALSE(bad.Close());
    EXPECT_FALSE(empty.Close());
    EXPECT_FALSE(good.valid());
    EXPECT_FALSE(bad.valid());
    EXPECT_EQ(closed, (std::vector<int>{12, 13})) << "closed once, not again at the end";
}

}  // namespace
}  // namespace zendrel
