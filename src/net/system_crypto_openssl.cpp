#include <openssl/evp.h>
#include <openssl/rand.h>

#include "net/system_crypto.h"

namespace zendrel {

std::optional<std::string> SecureRandomBytes(std::size_t count) {
    std::string bytes(count, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(count)) != 1) return std::nullopt;
    return bytes;
}

std::optional<std::string> Sha256(std::string_view bytes) {
    std::string digest(32, '\0');
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), reinterpret_cast<unsigned char*>(digest.data()), &length, EVP_sha256(),
                   nullptr) != 1 ||
        length != digest.size()) {
        return std::nullopt;
    }
    return digest;
}

}  // namespace zendrel
