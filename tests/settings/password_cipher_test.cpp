#include "settings/password_cipher.h"

#include "common/base64.h"
#include "common/md5.h"
#include "settings/cipher_tables.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace zendrel {
namespace {

constexpr std::uint32_t kStoredMode = kPasswordModeBase64 | kPasswordModeChained;

std::vector<unsigned char> Bytes(std::string_view text) { return std::vector<unsigned char>(text.begin(), text.end()); }

std::string Text(const std::vector<unsigned char>& bytes, std::size_t count) {
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count));
}

std::string RandomBytes(std::mt19937& random, std::size_t length) {
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes(length, '\0');
    for (char& c : bytes) c = static_cast<char>(byte(random));
    return bytes;
}

// The encoded form of a password, or "" when the routine refuses. The buffer is exactly `capacity` bytes, so a
// write past it shows up in the sanitizer build.
std::string Encode(std::string_view password, std::string_view key, std::uint32_t mode, CipherVector vector,
                   std::uint32_t capacity = 2048) {
    const auto passwordBytes = Bytes(password);
    const auto keyBytes = Bytes(key);
    std::vector<unsigned char> output(capacity, 0xEE);
    const std::uint32_t count =
        EncodePasswordWithVector(passwordBytes.data(), static_cast<std::uint32_t>(passwordBytes.size()),
                                 keyBytes.data(), static_cast<std::uint32_t>(keyBytes.size()), output.data(), capacity,
                                 mode, vector);
    if (count == 0) return {};
    if ((mode & kPasswordModeBase64) != 0) {
        EXPECT_LT(count, capacity);
        if (count < capacity) {
            EXPECT_EQ(output[count], 0) << "terminating zero";
        }
    }
    return Text(output, count);
}

struct Decoded {
    std::uint32_t length;
    std::string buffer;  // the whole output buffer, which starts out as blanks
};

Decoded Decode(std::string_view stored, std::string_view key, std::uint32_t mode, std::uint32_t capacity = 4096,
               unsigned char fill = ' ') {
    const auto storedBytes = Bytes(stored);
    const auto keyBytes = Bytes(key);
    std::vector<unsigned char> output(capacity, fill);
    const std::uint32_t length =
        DecodePassword(storedBytes.data(), static_cast<std::uint32_t>(storedBytes.size()), keyBytes.data(),
                       static_cast<std::uint32_t>(keyBytes.size()), output.data(), capacity, mode);
    return {length, Text(output, capacity)};
}

const std::string kKey(reinterpret_cast<const char*>(kPasswordKey), sizeof kPasswordKey);

// ---- initial values ----

// 16^position * pi modulo 1 by the Bailey-Borwein-Plouffe series: an independent reading of the digits of pi.
double PiFractionAt(std::uint64_t position) {
    const auto series = [position](std::uint64_t j) {
        double sum = 0;
        for (std::uint64_t k = 0; k <= position; ++k) {
            const std::uint64_t modulus = 8 * k + j;
            std::uint64_t power = 1, base = 16 % modulus;
            for (std::uint64_t e = position - k; e != 0; e >>= 1) {
                if (e & 1) power = power * base % modulus;
                base = base * base % modulus;
            }
            sum += static_cast<double>(power) / static_cast<double>(modulus);
            sum -= std::floor(sum);
        }
        double factor = 1.0 / 16;
        for (std::uint64_t k = position + 1; factor > 1e-20; ++k, factor /= 16) {
            sum += factor / static_cast<double>(8 * k + j);
        }
        return sum - std::floor(sum);
    };
    const double value = 4 * series(1) - 2 * series(4) - series(5) - series(6);
    return value - std::floor(value);
}

TEST(CipherTables, AreTheHexadecimalDigitsOfPi) {
    std::vector<std::uint32_t> words(kBlowfishInitialSubkeys.begin(), kBlowfishInitialSubkeys.end());
    words.insert(words.end(), kBlowfishInitialBoxes.begin(), kBlowfishInitialBoxes.end());
    ASSERT_EQ(words.size(), 1042u);
    // Every subkey, and box words spread over the whole table with both ends: 32 bits each from the series.
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i >= 18 && i % 5 != 0 && i + 3 < words.size()) continue;
        const double fraction = PiFractionAt(8 * i);
        EXPECT_EQ(words[i], static_cast<std::uint32_t>(fraction * 4294967296.0)) << "word " << i;
    }
}

// ---- the raw routines ----

TEST(EncodePassword, MatchesReferenceValues) {
    struct Case {
        std::string password;
        CipherVector vector;
        std::string stored;
    };
    const Case cases[] = {
        {"", {0x5F5E1000, 0x12345678}, "ABBeX3hWNBKxQj108z9CkQ=="},
        {"secret", {0x5F5E1000, 0x12345678}, "ABBeX3hWNBKfyDin8FS2CiR3K71GdurJ"},
        {"12345678", {0x00000001, 0x00000002}, "AQAAAAIAAABFo5wT6GJeTpirYAbBop35"},
        {"Passw\xF6rt!", {0x6570A1B2, 0xDEADBEEF}, "sqFwZe++rd4HI+fMURU4Tcb9eEclex2rqxzOCpVLfhg="},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Encode(c.password, kKey, kStoredMode, c.vector), c.stored) << c.password;
        const Decoded decoded = Decode(c.stored, kKey, kStoredMode, 1024, 'x');
        EXPECT_EQ(decoded.length, c.password.size()) << c.password;
        // the password followed by the blanks that filled its last block, nothing more
        const std::size_t padded = (8 + c.password.size() + 7) / 8 * 8 - 8;
        EXPECT_EQ(decoded.buffer.substr(0, padded + 1), c.password + std::string(padded - c.password.size(), ' ') + "x")
            << c.password;
        EXPECT_EQ(DecodeStoredPassword(c.stored), c.password);
    }
}

TEST(EncodePassword, StoredTextLengthFollowsTheBlockCount) {
    struct Case {
        std::size_t passwordLength, storedLength;
    };
    const Case cases[] = {
        {0, 24},             // the length field alone: 16 bytes with the vector
        {1, 32}, {7, 32},    // one block of password and blanks
        {8, 32},             // length field and password, no blanks
        {9, 44}, {16, 44},   // up to seven blanks
        {17, 56},
        {1016, 1376},        // the longest the save takes: 1032 bytes
    };
    for (const auto& c : cases) {
        const std::string stored = Encode(std::string(c.passwordLength, 'p'), kKey, kStoredMode, {7, 9});
        EXPECT_EQ(stored.size(), c.storedLength) << c.passwordLength;
        EXPECT_EQ(EncodeStoredPassword(std::string(c.passwordLength, 'p')).size(), c.storedLength) << c.passwordLength;
    }
}

TEST(EncodePassword, VectorComesFirstAndChangesEveryBlock) {
    const std::string password(24, 'A');  // three equal blocks of password
    const std::string first = Encode(password, kKey, kPasswordModeChained, {0x04030201, 0x08070605});
    const std::string second = Encode(password, kKey, kPasswordModeChained, {0x04030201, 0x08070606});
    ASSERT_EQ(first.size(), 8u + 32u);
    ASSERT_EQ(second.size(), 8u + 32u);
    EXPECT_EQ(first.substr(0, 8), "\x01\x02\x03\x04\x05\x06\x07\x08");  // little-endian words
    EXPECT_EQ(second.substr(0, 8), "\x01\x02\x03\x04\x06\x06\x07\x08");
    // chaining: a different vector changes every block, and equal plain blocks give different cipher blocks
    for (std::size_t block = 8; block < first.size(); block += 8)
        EXPECT_NE(first.substr(block, 8), second.substr(block, 8)) << block;
    EXPECT_NE(first.substr(16, 8), first.substr(24, 8));
    EXPECT_NE(first.substr(24, 8), first.substr(32, 8));
    EXPECT_EQ(Decode(first, kKey, kPasswordModeChained).buffer.substr(0, 24), password);
    EXPECT_EQ(Decode(second, kKey, kPasswordModeChained).buffer.substr(0, 24), password);
}

TEST(EncodePassword, WithoutChainingBlocksStandAlone) {
    const std::string password(24, 'A');
    const std::string raw = Encode(password, kKey, 0, {1, 2});
    ASSERT_EQ(raw.size(), 32u);  // no vector
    EXPECT_EQ(raw.substr(8, 8), raw.substr(16, 8));
    EXPECT_EQ(raw.substr(16, 8), raw.substr(24, 8));
    EXPECT_EQ(Encode(password, kKey, 0, {3, 4}), raw);  // the vector plays no part

    const std::string text = Encode(password, kKey, kPasswordModeBase64, {1, 2});
    EXPECT_EQ(DecodeBase64(text), raw);
}

TEST(DecodePassword, EveryModeRoundTrips) {
    std::mt19937 random(4711);
    const std::uint32_t modes[] = {0, kPasswordModeBase64, kPasswordModeChained, kStoredMode};
    for (const std::uint32_t mode : modes) {
        for (std::size_t length : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 100u, 496u}) {
            const std::string password = RandomBytes(random, length);
            const std::string stored = Encode(password, kKey, mode, {0xCAFEBABE, 0x0BADF00D});
            ASSERT_FALSE(stored.empty()) << mode << " " << length;
            if ((mode & kPasswordModeBase64) == 0) {
                const std::size_t blocks = (8 + length + 7) / 8;
                EXPECT_EQ(stored.size(), blocks * 8 + ((mode & kPasswordModeChained) != 0 ? 8 : 0)) << mode;
            }
            const Decoded decoded = Decode(stored, kKey, mode, 1024);
            // an empty password without a vector is a single block, too short to read back; its length is 0 anyway
            EXPECT_EQ(decoded.length, length) << mode;
            EXPECT_EQ(decoded.buffer.substr(0, length), password) << mode << " " << length;
        }
    }
}

TEST(DecodePassword, ModesAreNotInterchangeable) {
    const std::string password = "mailbox password";
    const std::string chained = Encode(password, kKey, kPasswordModeChained, {11, 12});
    const std::string plain = Encode(password, kKey, 0, {11, 12});
    EXPECT_NE(Decode(chained, kKey, 0).buffer.substr(0, password.size()), password);
    EXPECT_NE(Decode(plain, kKey, kPasswordModeChained).buffer.substr(0, password.size()), password);
}

TEST(DecodePassword, OtherKeyGivesOtherBytesWithoutFailing) {
    const std::string password = "correct horse battery staple";
    const std::string stored = Encode(password, kKey, kStoredMode, {0x5F5E1000, 0x12345678});
    const std::string otherKey = "\x5A\xE1\x07\xC3\x9D\x24\xB8\x6F\x13\xD0\x4E\x8B";  // last bit differs
    const Decoded decoded = Decode(stored, otherKey, kStoredMode, 1024, 'x');
    EXPECT_NE(decoded.length, password.size());
    EXPECT_NE(decoded.buffer.substr(0, password.size()), password);
    // the whole deciphered stream after the length field is written all the same
    const std::size_t written = (8 + password.size() + 7) / 8 * 8 - 8;
    EXPECT_NE(decoded.buffer.substr(0, written), std::string(written, 'x'));
    EXPECT_EQ(decoded.buffer.substr(written), std::string(1024 - written, 'x'));
}

TEST(DecodePassword, KeySetUp) {
    const std::string password = "key test";
    const CipherVector vector{0x10203040, 0x50607080};
    const auto stored = [&](std::string_view key) { return Encode(password, key, kStoredMode, vector); };
    // a key of 16 bytes or more counts with its first 16 bytes only
    EXPECT_EQ(stored("0123456789abcdefXYZ"), stored("0123456789abcdef"));
    EXPECT_NE(stored("0123456789abcdeF"), stored("0123456789abcdef"));
    // a shorter key is filled up with the leading digits of its MD5 in lower-case hexadecimal
    EXPECT_EQ(stored(kKey), stored(kKey + Md5Hex(kKey).substr(0, 4)));
    EXPECT_EQ(stored("abc"), stored("abc" + Md5Hex("abc").substr(0, 13)));
    EXPECT_EQ(stored(""), stored(Md5Hex("").substr(0, 16)));
    EXPECT_NE(stored("abc"), stored("abc" + Md5Hex("abd").substr(0, 13)));
    // and the key must match to read it back
    EXPECT_EQ(Decode(stored("abc"), "abc", kStoredMode).length, password.size());
    EXPECT_EQ(Decode(stored("abc"), "abc", kStoredMode).buffer.substr(0, password.size()), password);
}

TEST(DecodePassword, TooShortOrUndecodableGivesZero) {
    const std::string full = DecodeBase64("ABBeX3hWNBKfyDin8FS2CiR3K71GdurJ");  // 'secret', 24 bytes
    ASSERT_EQ(full.size(), 24u);
    struct Case {
        std::string text;
        std::uint32_t mode;
    };
    const Case cases[] = {
        {EncodeBase64(full.substr(0, 8)), kStoredMode},   // the vector without a block
        {EncodeBase64(full.substr(0, 15)), kStoredMode},  // one byte short of a block
        {full.substr(0, 8), kPasswordModeChained},
        {full.substr(0, 15), 0},
        {"", kStoredMode},
        {"", 0},
        {"ABBeX3hWNBKfyDin8FS2CiR3K71GdurJA", kStoredMode},    // a lone character after the last group
        {"ABBeX3hWNBKfyDin8FS2CiR3K71GdurJ\r\n", kStoredMode},  // even trailing line ends spoil the text
    };
    for (const auto& c : cases) {
        const Decoded decoded = Decode(c.text, kKey, c.mode, 1024, 'x');
        EXPECT_EQ(decoded.length, 0u) << c.text;
        EXPECT_EQ(decoded.buffer, std::string(1024, 'x')) << c.text;  // nothing written
    }
    // one whole block after the vector is enough to be read
    EXPECT_EQ(Decode(EncodeBase64(full.substr(0, 16)), kKey, kStoredMode).length, 6u);
}

TEST(DecodePassword, TrailingPartialBlockIsIgnored) {
    const std::string full = DecodeBase64("ABBeX3hWNBKfyDin8FS2CiR3K71GdurJ");
    for (std::size_t extra = 1; extra < 8; ++extra) {
        const std::string longer = full + std::string(extra, '\x5A');
        const Decoded decoded = Decode(longer, kKey, kPasswordModeChained, 1024, 'x');
        EXPECT_EQ(decoded.length, 6u) << extra;
        EXPECT_EQ(decoded.buffer.substr(0, 9), "secret  x") << extra;
    }
}

// ---- capacity limits ----

TEST(EncodePassword, RefusesWhenTwiceThePlainStreamDoesNotFit) {
    struct Case {
        std::size_t passwordLength;
        std::uint32_t mode, capacity;
        bool fits;
    };
    const Case cases[] = {
        {1016, kStoredMode, 2048, true},  // 1024 bytes of plain stream
        {1017, kStoredMode, 2048, false},
        {1016, kStoredMode, 2047, false},
        {8, kPasswordModeChained, 32, true},  // 16 bytes of plain stream, 24 bytes written
        {8, kPasswordModeChained, 31, false},
        {8, 0, 32, true},
        {8, 0, 31, false},
        {16, kStoredMode, 48, true},  // 24 bytes of plain stream, 44 characters and a zero
        {16, kStoredMode, 47, false},
        // twice a short plain stream is less than its base64 form: refused rather than written past the buffer
        {0, kStoredMode, 25, true},  // 24 characters and a zero
        {0, kStoredMode, 24, false},
        {0, kStoredMode, 16, false},
        {8, kStoredMode, 33, true},
        {8, kStoredMode, 32, false},
        {0, kPasswordModeBase64, 16, true},  // 8 bytes, 12 characters and a zero
        {0, kPasswordModeBase64, 15, false},
    };
    for (const auto& c : cases) {
        const std::string stored = Encode(std::string(c.passwordLength, 'q'), kKey, c.mode, {1, 2}, c.capacity);
        EXPECT_EQ(!stored.empty(), c.fits) << c.passwordLength << " mode " << c.mode << " capacity " << c.capacity;
    }
    EXPECT_EQ(EncodeStoredPassword(std::string(1017, 'q')), "");
}

TEST(DecodePassword, RefusesWhenTheCapacityIsBelowTwiceTheDecodedCount) {
    struct Case {
        std::size_t passwordLength;
        std::uint32_t capacity;
        bool fits;
    };
    const Case cases[] = {
        {496, 1024, true},   // 512 decoded bytes: 8 * 128
        {497, 1024, false},  // 520 decoded bytes
        {600, 1024, false},
        {600, 1232, true},  // 616 decoded bytes
        {600, 1231, false},
        {1016, 2064, true},  // 1032 decoded bytes
        {1016, 2063, false},
        {0, 32, true},  // 16 decoded bytes
        {0, 31, false},
    };
    std::mt19937 random(99);
    for (const auto& c : cases) {
        const std::string password = RandomBytes(random, c.passwordLength);
        const std::string stored = Encode(password, kKey, kStoredMode, {5, 6});
        ASSERT_FALSE(stored.empty());
        const Decoded decoded = Decode(stored, kKey, kStoredMode, c.capacity, 'x');
        if (c.fits) {
            EXPECT_EQ(decoded.length, password.size()) << c.passwordLength << " " << c.capacity;
            EXPECT_EQ(decoded.buffer.substr(0, password.size()), password) << c.passwordLength << " " << c.capacity;
        } else {
            EXPECT_EQ(decoded.length, 0u) << c.passwordLength << " " << c.capacity;
            EXPECT_EQ(decoded.buffer, std::string(c.capacity, 'x')) << c.passwordLength << " " << c.capacity;
        }
    }
}

// ---- what the settings file stores ----

TEST(StoredPassword, RandomPasswordsOfEveryLengthComeBack) {
    std::mt19937 random(1234567);
    for (std::size_t length = 0; length <= 1016; ++length) {
        std::string password = RandomBytes(random, length);
        if (length >= 2) {
            password.front() = '\0';
            password.back() = '\xFF';
        }
        const std::string stored = EncodeStoredPassword(password);
        ASSERT_EQ(stored.size(), (8 + (8 + length + 7) / 8 * 8 + 2) / 3 * 4) << length;
        ASSERT_EQ(DecodeStoredPassword(stored), password) << length;
    }
}

TEST(StoredPassword, LongPasswordsThatTheOldBufferLostComeBack) {
    for (std::size_t length : {497u, 600u, 1016u}) {
        const std::string password(length, '\x80');
        const std::string stored = EncodeStoredPassword(password);
        ASSERT_FALSE(stored.empty()) << length;
        EXPECT_EQ(DecodeStoredPassword(stored), password) << length;
    }
}

TEST(StoredPassword, EverySaveDiffersAndAllReadBack) {
    const std::string password = "secret";
    const std::string first = Encode(password, kKey, kStoredMode, {0x5F5E1000, 0x12345678});
    const std::string second = Encode(password, kKey, kStoredMode, {0x5F5E1001, 0x12345678});
    const std::string third = Encode(password, kKey, kStoredMode, {0x5F5E1000, 0x12345679});
    EXPECT_NE(first, second);
    EXPECT_NE(first, third);
    EXPECT_NE(second, third);
    for (const std::string& stored : {first, second, third}) EXPECT_EQ(DecodeStoredPassword(stored), password);
}

TEST(StoredPassword, VectorFromTheClocksKeepsTheLow32Bits) {
    const struct {
        std::int64_t localSeconds, milliseconds;
        std::uint32_t first, second;
    } cases[] = {
        {1700000000, 1234, 1700000000u, 1234000000u},
        {1700000000, 5000, 1700000000u, 705032704u},    // 5,000,000,000 wraps past 2^32
        {4294967296 + 7, 4294, 7u, 4294000000u},        // a date beyond 2106 keeps its low bits
        {0, 0, 0u, 0u},
    };
    for (const auto& c : cases) {
        const CipherVector vector = VectorFromClocks(c.localSeconds, c.milliseconds);
        EXPECT_EQ(vector.first, c.first) << c.localSeconds;
        EXPECT_EQ(vector.second, c.second) << c.milliseconds;
    }
}

TEST(StoredPassword, EmptyTextGivesAnEmptyPassword) {
    EXPECT_EQ(DecodeStoredPassword(""), "");
    const std::string stored = EncodeStoredPassword("");
    EXPECT_EQ(stored.size(), 24u);
    EXPECT_EQ(DecodeStoredPassword(stored), "");
}

TEST(StoredPassword, GarbageNeverReadsOrWritesOutOfBounds) {
    std::mt19937 random(31337);
    std::uniform_int_distribution<std::size_t> length(0, 1500);
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=-_\r\n\t !";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    const std::uint32_t modes[] = {0, kPasswordModeBase64, kPasswordModeChained, kStoredMode};
    for (int round = 0; round < 400; ++round) {
        std::string text;
        if (round % 2 == 0) {
            text = RandomBytes(random, length(random));
        } else {
            text.resize(length(random));
            for (char& c : text) c = alphabet[pick(random)];
        }
        // the settings path: at most the load buffer, however long the length field claims to be
        EXPECT_LE(DecodeStoredPassword(text).size(), 2064u);
        for (const std::uint32_t mode : modes) {
            const std::size_t decodedSize = (mode & kPasswordModeBase64) != 0 ? DecodeBase64(text).size() : text.size();
            for (const std::uint32_t capacity : {0u, 8u, 100u, 1024u}) {
                const Decoded decoded = Decode(text, kKey, mode, capacity, 'x');
                if (decodedSize < 16 || 8 * (decodedSize / 4) > capacity) {
                    // refused: nothing written
                    EXPECT_EQ(decoded.length, 0u) << round << " mode " << mode << " capacity " << capacity;
                    EXPECT_EQ(decoded.buffer, std::string(capacity, 'x')) << round << " mode " << mode;
                } else {
                    // only the whole blocks after the length field are written
                    const std::size_t blocks = (decodedSize - ((mode & kPasswordModeChained) != 0 ? 8 : 0)) / 8;
                    const std::size_t written = (blocks - 1) * 8;
                    EXPECT_EQ(decoded.buffer.substr(written), std::string(capacity - written, 'x'))
                        << round << " mode " << mode << " capacity " << capacity;
                }
            }
        }
    }
}

}  // namespace
}  // namespace zendrel
