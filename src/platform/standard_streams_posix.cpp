#include "platform/standard_streams.h"

namespace zendrel {

void ConnectStandardStreams() {}

}  // namespace zendrel
