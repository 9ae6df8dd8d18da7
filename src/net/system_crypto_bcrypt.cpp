#include <windows.h>
// after windows.h, which it needs
#include <bcrypt.h>

#include "common/unique_resource.h"
#include "net/system_crypto.h"

namespace zendrel {
namespace {

struct AlgorithmTraits {
    using Handle = BCRYPT_ALG_HANDLE;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept { return BCRYPT_SUCCESS(BCryptCloseAlgorithmProvider(handle, 0)); }
};
using UniqueAlgorithm = UniqueResource<AlgorithmTraits>;

struct HashTraits {
    using Handle = BCRYPT_HASH_HANDLE;
    static Handle None() noexcept { return nullptr; }
    static bool Close(Handle handle) noexcept { return BCRYPT_SUCCESS(BCryptDestroyHash(handle)); }
};
using UniqueHash = UniqueResource<HashTraits>;

}  // namespace

std::optional<std::string> SecureRandomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(bytes.data()), static_cast<ULONG>(count),
                                        BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> Sha256(std::string_view bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        return std::nullopt;
    }
    const UniqueAlgorithm ownedAlgorithm(algorithm);
    BCRYPT_HASH_HANDLE hash = nullptr;
    // With no object buffer CNG keeps the hash object itself (Windows 7 and later).
    if (!BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) return std::nullopt;
    const UniqueHash ownedHash(hash);
    std::string digest(32, '\0');
    if (!BCRYPT_SUCCESS(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                       static_cast<ULONG>(bytes.size()), 0)) ||
        !BCRYPT_SUCCESS(BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()),
                                         static_cast<ULONG>(digest.size()), 0))) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace zendrel
