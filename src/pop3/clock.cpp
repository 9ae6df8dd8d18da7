#include "pop3/clock.h"

#include "common/steady_time.h"

namespace zendrel {

std::int64_t SteadyClock::NowMs() const { return SteadyMilliseconds(); }

}  // namespace zendrel
