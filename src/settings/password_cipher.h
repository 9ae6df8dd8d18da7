#pragma once
// The mailbox password as the settings file keeps it: a Blowfish-shaped 64-bit block cipher (shifted initial boxes,
// little-endian words, short keys extended by their MD5 digits) in cipher-block chaining mode under a vector taken
// from the clocks, written as base64. Every save gives a different text; only this procedure reads it back.

#include <cstdint>
#include <string>
#include <string_view>

namespace zendrel {

inline constexpr std::uint32_t kPasswordModeBase64 = 1;   // the encoded form is base64 text
inline constexpr std::uint32_t kPasswordModeChained = 2;  // cipher-block chaining with an initialisation vector

// The initialisation vector's two words, in the order they are stored.
struct CipherVector {
    std::uint32_t first;
    std::uint32_t second;
};

// The vector a save uses: the seconds of local time (the program's date value), and the milliseconds since the
// system started times a million, both kept to their low 32 bits.
CipherVector VectorFromClocks(std::int64_t localSeconds, std::int64_t millisecondsSinceStart);

// The program's fixed 12-byte key: 5A E1 07 C3 9D 24 B8 6F 13 D0 4E 8A
extern const unsigned char kPasswordKey[12];

// Enciphers `length` password bytes under the key into `output`: with kPasswordModeChained the vector and the
// chained blocks, otherwise the blocks alone; with kPasswordModeBase64 as base64 text followed by a zero byte,
// otherwise as raw bytes. Returns the length of the encoded form (base64 characters, or bytes), or 0 when the
// capacity is too small: twice the plain block stream, and always the whole encoded form.
// The vector comes from the clocks: local-time seconds since 1970 and milliseconds since start times 1000000.
std::uint32_t EncodePassword(const unsigned char* password, std::uint32_t length, const unsigned char* key,
                             std::uint32_t keyLength, unsigned char* output, std::uint32_t capacity,
                             std::uint32_t mode);
// The same with a given vector.
std::uint32_t EncodePasswordWithVector(const unsigned char* password, std::uint32_t length, const unsigned char* key,
                                       std::uint32_t keyLength, unsigned char* output, std::uint32_t capacity,
                                       std::uint32_t mode, CipherVector vector);

// Reads back what EncodePassword wrote with the same key and mode. Writes the deciphered bytes after the length field
// (the password and its blank padding) to the start of `output` and returns the length field's low 32 bits; the
// length field is not checked against the data, so a wrong key gives a meaningless length without failing.
// Returns 0 for text that does not decode as base64, decodes to fewer than 16 bytes, or needs a capacity of more
// than 8 bytes per 4 decoded bytes. A trailing part of less than a whole block is ignored.
std::uint32_t DecodePassword(const unsigned char* stored, std::uint32_t length, const unsigned char* key,
                             std::uint32_t keyLength, unsigned char* output, std::uint32_t capacity,
                             std::uint32_t mode);

// The settings file's `Password` value for a password (kPasswordKey, base64 and chaining, a 2048-byte buffer):
// "" when the password is longer than 1016 bytes.
std::string EncodeStoredPassword(std::string_view password);
// The password of a `Password` value; "" for an empty or undecodable value. The buffer holds anything
// EncodeStoredPassword writes, so every password that was saved comes back.
std::string DecodeStoredPassword(std::string_view stored);

}  // namespace zendrel
