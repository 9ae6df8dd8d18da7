#pragma once

#include <cstdint>

namespace zendrel {

// What happens when a file of the name exists with other bytes. The numbers are what the settings file stores.
enum class ExistingFiles : std::int32_t {
    kKeepBoth = 0,  // the new file gets the first free numbered name: "invoice (2).pdf"
    kReplace = 1,   // the new file replaces the old one, for a file another program expects under a fixed name
};

}  // namespace zendrel
