#!/usr/bin/env python3
"""Writes src/settings/cipher_tables.cpp: the Blowfish initial values, computed rather than copied.

Blowfish starts from the hexadecimal fraction digits of pi, eight digits to a 32-bit word: the 18 round subkeys
first, then the four substitution boxes of 256 words each. That is 1042 words, 8336 hexadecimal digits after the
point. Pi comes from Machin's formula, pi = 16 atan(1/5) - 4 atan(1/239), in fixed-point integer arithmetic with a
few guard digits, so the result does not depend on any floating-point library.

Usage: scripts/make_cipher_tables.py [output file]   (default: src/settings/cipher_tables.cpp beside this script)
"""

import os
import sys

SUBKEY_WORDS = 18
BOX_WORDS = 4 * 256
HEX_DIGITS = 8 * (SUBKEY_WORDS + BOX_WORDS)
GUARD_DIGITS = 16


def arctan_inverse(x, scale):
    """atan(1/x) * scale, rounded down term by term (the error stays far below the guard digits)."""
    total = 0
    power = scale // x  # scale / x^(2k+1)
    x_squared = x * x
    k = 0
    while power:
        term = power // (2 * k + 1)
        total += -term if k % 2 else term
        power //= x_squared
        k += 1
    return total


def pi_fraction_hex(digits):
    """The first `digits` hexadecimal digits of pi after the point, as a string."""
    scale = 16 ** (digits + GUARD_DIGITS)
    pi = 16 * arctan_inverse(5, scale) - 4 * arctan_inverse(239, scale)
    fraction = (pi - 3 * scale) >> (4 * GUARD_DIGITS)
    return format(fraction, "0{}X".format(digits))


def pi_words():
    digits = pi_fraction_hex(HEX_DIGITS)
    return [int(digits[i:i + 8], 16) for i in range(0, HEX_DIGITS, 8)]


def check(words):
    # Landmarks of the published tables: both ends of the subkeys, the start of box 1 and the end of box 4.
    expected = {0: 0x243F6A88, 1: 0x85A308D3, SUBKEY_WORDS: 0xD1310BA6, SUBKEY_WORDS + BOX_WORDS - 1: 0x3AC372E6}
    for index, value in expected.items():
        if words[index] != value:
            raise SystemExit(
                "make_cipher_tables: word {} is {:08X}, expected {:08X}".format(index, words[index], value))


def array_text(name, words):
    lines = ["const std::array<std::uint32_t, {}> {} = {{".format(len(words), name)]
    for i in range(0, len(words), 8):
        lines.append("    " + " ".join("0x{:08X},".format(w) for w in words[i:i + 8]))
    lines.append("};")
    return "\n".join(lines)


def source_text(words):
    return "\n".join([
        "// Written by scripts/make_cipher_tables.py: the hexadecimal fraction digits of pi, eight to a word.",
        '#include "settings/cipher_tables.h"',
        "",
        "namespace zendrel {",
        "",
        array_text("kBlowfishInitialSubkeys", words[:SUBKEY_WORDS]),
        "",
        array_text("kBlowfishInitialBoxes", words[SUBKEY_WORDS:]),
        "",
        "}  // namespace zendrel",
        "",
    ])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    output = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src", "settings", "cipher_tables.cpp")
    words = pi_words()
    check(words)
    with open(output, "w", newline="\n") as f:
        f.write(source_text(words))


if __name__ == "__main__":
    main()
