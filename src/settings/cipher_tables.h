#pragma once

#include <array>
#include <cstdint>

namespace zendrel {

// The Blowfish initial values: the hexadecimal fraction digits of pi, eight to a word, most significant first.
// The 18 round subkeys take the first 144 digits, the four substitution boxes of 256 words each the 8192 after them
// (box 1 first). Written by scripts/make_cipher_tables.py.
extern const std::array<std::uint32_t, 18> kBlowfishInitialSubkeys;
extern const std::array<std::uint32_t, 1024> kBlowfishInitialBoxes;

}  // namespace zendrel
