#include "settings/password_cipher.h"

#include "common/base64.h"
#include "common/local_time.h"
#include "common/steady_time.h"
#include "common/md5.h"
#include "settings/cipher_tables.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <ctime>
#include <limits>
#include <new>
#include <utility>
#include <vector>

namespace zendrel {

const unsigned char kPasswordKey[12] = {0x5A, 0xE1, 0x07, 0xC3, 0x9D, 0x24, 0xB8, 0x6F, 0x13, 0xD0, 0x4E, 0x8A};

namespace {

constexpr std::size_t kSubkeys = 18;
constexpr std::size_t kStateWords = kSubkeys + 4 * 256;
constexpr std::size_t kBox1 = kSubkeys;
constexpr std::size_t kBox2 = kBox1 + 256;
constexpr std::size_t kBox3 = kBox2 + 256;
constexpr std::size_t kBox4 = kBox3 + 256;
constexpr std::size_t kKeyBlockBytes = 16;
constexpr std::size_t kBlockBytes = 8;
constexpr std::size_t kVectorBytes = 8;
constexpr std::size_t kLengthFieldBytes = 8;

// What the settings file works with: the save's output buffer, and a load buffer that holds whatever that save can
// write (8 bytes of room for every 4 decoded bytes of the longest stored value).
constexpr std::uint32_t kPasswordMode = kPasswordModeBase64 | kPasswordModeChained;
constexpr std::uint32_t kSaveBufferBytes = 2048;
constexpr std::uint32_t kLongestStoredBytes = kVectorBytes + kSaveBufferBytes / 2;
constexpr std::uint32_t kLoadBufferBytes = 8 * (kLongestStoredBytes / 4);

std::uint32_t ReadWord(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void WriteWord(unsigned char* p, std::uint32_t word) {
    p[0] = static_cast<unsigned char>(word);
    p[1] = static_cast<unsigned char>(word >> 8);
    p[2] = static_cast<unsigned char>(word >> 16);
    p[3] = static_cast<unsigned char>(word >> 24);
}

class BlockCipher {
public:
    BlockCipher(const unsigned char* key, std::uint32_t keyLength) {
        // The state starts from the published values, but every box begins two words later than in Blowfish: box 1
        // opens with two zero words and the last two published words are left out. Stored values depend on it.
        for (std::size_t i = 0; i < kSubkeys; ++i) state_[i] = kBlowfishInitialSubkeys[i];
        state_[kBox1] = 0;
        state_[kBox1 + 1] = 0;
        for (std::size_t i = kBox1 + 2; i < kStateWords; ++i) state_[i] = kBlowfishInitialBoxes[i - kBox1 - 2];

        // Keys shorter than a block are filled up with the leading digits of their own MD5.
        std::array<unsigned char, kKeyBlockBytes> block{};
        const std::size_t taken = keyLength < kKeyBlockBytes ? keyLength : kKeyBlockBytes;
        for (std::size_t i = 0; i < taken; ++i) block[i] = key[i];
        if (taken < kKeyBlockBytes) {
            const std::string digest = Md5Hex(std::string(key, key + taken));
            for (std::size_t i = taken; i < kKeyBlockBytes; ++i) {
                block[i] = static_cast<unsigned char>(digest[i - taken]);
            }
        }
        std::uint32_t keyWords[4];
        for (std::size_t i = 0; i < 4; ++i) keyWords[i] = ReadWord(block.data() + 4 * i);
        for (std::size_t i = 0; i < kSubkeys; ++i) state_[i] ^= keyWords[i % 4];

        std::uint32_t left = 0, right = 0;
        for (std::size_t i = 0; i < kStateWords; i += 2) {
            Encrypt(left, right);
            state_[i] = left;
            state_[i + 1] = right;
        }
    }

    void Encrypt(std::uint32_t& left, std::uint32_t& right) const {
        for (std::size_t i = 0; i < 16; ++i) {
            left ^= state_[i];
            right ^= Round(left);
            std::swap(left, right);
        }
        std::swap(left, right);
        right ^= state_[16];
        left ^= state_[17];
    }

    void Decrypt(std::uint32_t& left, std::uint32_t& right) const {
        for (std::size_t i = 17; i > 1; --i) {
            left ^= state_[i];
            right ^= Round(left);
            std::swap(left, right);
        }
        std::swap(left, right);
        right ^= state_[1];
        left ^= state_[0];
    }

private:
    std::uint32_t Round(std::uint32_t x) const {
        return ((state_[kBox1 + (x >> 24)] + state_[kBox2 + ((x >> 16) & 0xFF)]) ^ state_[kBox3 + ((x >> 8) & 0xFF)]) +
               state_[kBox4 + (x & 0xFF)];
    }

    std::array<std::uint32_t, kStateWords> state_;
};

CipherVector ClockVector() { return VectorFromClocks(CurrentLocalSeconds(), SteadyMilliseconds()); }

}  // namespace

CipherVector VectorFromClocks(std::int64_t localSeconds, std::int64_t millisecondsSinceStart) {
    // Only the low 32 bits of the product count, so the wrap of the unsigned multiplication is what is wanted.
    const auto second = static_cast<std::uint32_t>(static_cast<std::uint64_t>(millisecondsSinceStart) * 1000000u);
    return {static_cast<std::uint32_t>(localSeconds), second};
}

namespace {

std::uint32_t Encode(const unsigned char* password, std::uint32_t length, const unsigned char* key,
                     std::uint32_t keyLength, unsigned char* output, std::uint32_t capacity, std::uint32_t mode,
                     CipherVector vector) {
    if (output == nullptr || (password == nullptr && length != 0) || (key == nullptr && keyLength != 0)) return 0;
    const bool chained = (mode & kPasswordModeChained) != 0;
    const bool base64 = (mode & kPasswordModeBase64) != 0;

    // The plain stream: the length as a 64-bit field, the password, blanks up to a whole block.
    const std::uint64_t plainBytes = (kLengthFieldBytes + std::uint64_t{length} + kBlockBytes - 1) / kBlockBytes *
                                     kBlockBytes;
    if (2 * plainBytes > capacity) return 0;
    const std::size_t storedBytes = (chained ? kVectorBytes : 0) + static_cast<std::size_t>(plainBytes);
    // Twice the plain stream is not always room for its base64 form (a short password into a small buffer), and the
    // encoded form must never run past the caller's buffer.
    const std::uint64_t encodedBytes = base64 ? (storedBytes + 2) / 3 * 4 + 1 : storedBytes;
    if (encodedBytes > capacity) return 0;

    const BlockCipher cipher(key, keyLength);
    std::vector<unsigned char> plain(static_cast<std::size_t>(plainBytes), ' ');
    WriteWord(plain.data(), length);
    WriteWord(plain.data() + 4, 0);
    for (std::uint32_t i = 0; i < length; ++i) plain[kLengthFieldBytes + i] = password[i];

    std::vector<unsigned char> stored(storedBytes);
    std::size_t at = 0;
    if (chained) {
        WriteWord(stored.data(), vector.first);
        WriteWord(stored.data() + 4, vector.second);
        at = kVectorBytes;
    }
    std::uint32_t previousLeft = vector.first, previousRight = vector.second;
    for (std::size_t block = 0; block < plain.size(); block += kBlockBytes, at += kBlockBytes) {
        std::uint32_t left = ReadWord(plain.data() + block);
        std::uint32_t right = ReadWord(plain.data() + block + 4);
        if (chained) {
            left ^= previousLeft;
            right ^= previousRight;
        }
        cipher.Encrypt(left, right);
        WriteWord(stored.data() + at, left);
        WriteWord(stored.data() + at + 4, right);
        previousLeft = left;
        previousRight = right;
    }

    if (!base64) {
        for (std::size_t i = 0; i < stored.size(); ++i) output[i] = stored[i];
        return static_cast<std::uint32_t>(stored.size());
    }
    const std::string text = EncodeBase64(std::string(stored.begin(), stored.end()));
    for (std::size_t i = 0; i < text.size(); ++i) output[i] = static_cast<unsigned char>(text[i]);
    output[text.size()] = 0;
    return static_cast<std::uint32_t>(text.size());
}

std::uint32_t Decode(const unsigned char* input, std::uint32_t length, const unsigned char* key,
                     std::uint32_t keyLength, unsigned char* output, std::uint32_t capacity, std::uint32_t mode) {
    if (output == nullptr || (input == nullptr && length != 0) || (key == nullptr && keyLength != 0)) return 0;
    const bool chained = (mode & kPasswordModeChained) != 0;

    std::string decoded;
    if ((mode & kPasswordModeBase64) != 0) {
        decoded = DecodeBase64(std::string(input, input + length));
        if (decoded.empty()) return 0;
    } else {
        decoded.assign(input, input + length);
    }
    if (8 * std::uint64_t{decoded.size() / 4} > capacity) return 0;
    if (decoded.size() < kVectorBytes + kBlockBytes) return 0;

    std::vector<unsigned char> bytes(decoded.begin(), decoded.end());
    std::size_t at = 0;
    std::uint32_t previousLeft = 0, previousRight = 0;
    if (chained) {
        previousLeft = ReadWord(bytes.data());
        previousRight = ReadWord(bytes.data() + 4);
        at = kVectorBytes;
    }
    // A trailing part of less than a block cannot be deciphered and is left out. Everything after the length field
    // fits the capacity: at most the decoded count less 16 bytes, where the capacity is about twice the count.
    const std::size_t blocks = (bytes.size() - at) / kBlockBytes;
    const BlockCipher cipher(key, keyLength);
    std::uint32_t passwordLength = 0;
    for (std::size_t block = 0; block < blocks; ++block, at += kBlockBytes) {
        const std::uint32_t cipherLeft = ReadWord(bytes.data() + at);
        const std::uint32_t cipherRight = ReadWord(bytes.data() + at + 4);
        std::uint32_t left = cipherLeft, right = cipherRight;
        cipher.Decrypt(left, right);
        if (chained) {
            left ^= previousLeft;
            right ^= previousRight;
        }
        previousLeft = cipherLeft;
        previousRight = cipherRight;
        if (block == 0) {
            passwordLength = left;  // the length field's low half; the high half is never needed
            continue;
        }
        const std::size_t to = (block - 1) * kBlockBytes;
        if (to + kBlockBytes > capacity) break;
        WriteWord(output + to, left);
        WriteWord(output + to + 4, right);
    }
    return passwordLength;
}

}  // namespace

std::uint32_t EncodePasswordWithVector(const unsigned char* password, std::uint32_t length, const unsigned char* key,
                                       std::uint32_t keyLength, unsigned char* output, std::uint32_t capacity,
                                       std::uint32_t mode, CipherVector vector) {
    try {
        return Encode(password, length, key, keyLength, output, capacity, mode, vector);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::uint32_t EncodePassword(const unsigned char* password, std::uint32_t length, const unsigned char* key,
                             std::uint32_t keyLength, unsigned char* output, std::uint32_t capacity,
                             std::uint32_t mode) {
    return EncodePasswordWithVector(password, length, key, keyLength, output, capacity, mode, ClockVector());
}

std::uint32_t DecodePassword(const unsigned char* stored, std::uint32_t length, const unsigned char* key,
                             std::uint32_t keyLength, unsigned char* output, std::uint32_t capacity,
                             std::uint32_t mode) {
    try {
        return Decode(stored, length, key, keyLength, output, capacity, mode);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

std::string EncodeStoredPassword(std::string_view password) {
    if (password.size() > std::numeric_limits<std::uint32_t>::max()) return {};
    const std::vector<unsigned char> bytes(password.begin(), password.end());
    std::vector<unsigned char> buffer(kSaveBufferBytes);
    const std::uint32_t count =
        EncodePassword(bytes.data(), static_cast<std::uint32_t>(bytes.size()), kPasswordKey, sizeof kPasswordKey,
                       buffer.data(), kSaveBufferBytes, kPasswordMode);
    return std::string(buffer.begin(), buffer.begin() + count);
}

std::string DecodeStoredPassword(std::string_view stored) {
    if (stored.empty() || stored.size() > std::numeric_limits<std::uint32_t>::max()) return {};
    const std::vector<unsigned char> bytes(stored.begin(), stored.end());
    std::vector<unsigned char> buffer(kLoadBufferBytes, ' ');
    const std::uint32_t length =
        DecodePassword(bytes.data(), static_cast<std::uint32_t>(bytes.size()), kPasswordKey, sizeof kPasswordKey,
                       buffer.data(), kLoadBufferBytes, kPasswordMode);
    return std::string(buffer.begin(), buffer.begin() + (length < kLoadBufferBytes ? length : kLoadBufferBytes));
}

}  // namespace zendrel
