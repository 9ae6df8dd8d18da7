// TLS with OpenSSL over memory buffers: OpenSSL never touches the socket. What it wants to send is taken from its
// outgoing buffer and handed to the wrapped transport; what the wrapped transport receives is fed into its incoming
// buffer. Waits therefore stay the wrapped transport's waits, with its time-outs and its Interrupt().

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>

#include "net/tls_transport.h"
#include "net/tls_transport_base.h"

namespace zendrel {
namespace {

struct SslContextFree {
    void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
using UniqueSslContext = std::unique_ptr<SSL_CTX, SslContextFree>;
using UniqueSsl = std::unique_ptr<SSL, SslFree>;

constexpr std::size_t kChunk = 16 * 1024;  // one TLS record's plain text at most

// A few words on why a certificate was refused, for the user's log line.
std::string ProblemOf(long verifyResult) {
    switch (verifyResult) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return "expired";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return "not yet valid";
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return "wrong host name";
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            return "unknown issuer";
        case X509_V_ERR_CERT_REVOKED:
            return "revoked";
        default:
            return X509_verify_cert_error_string(verifyResult);
    }
}

bool IsAddressLiteral(const std::string& host) {
    ASN1_OCTET_STRING* address = a2i_IPADDRESS(host.c_str());
    if (address == nullptr) return false;
    ASN1_OCTET_STRING_free(address);
    return true;
}

class OpenSslTransport final : public TlsTransportBase {
public:
    explicit OpenSslTransport(std::unique_ptr<Transport> inner) : TlsTransportBase(std::move(inner)) {}

private:
    bool BeginHandshake(const std::string& host) override;
    HandshakeStep ContinueHandshake(std::string& received, std::string& send, std::string& problem) override;
    Stream Decrypt(std::string& received, std::string& plain, std::string& send) override;
    std::size_t Encrypt(std::string_view plain, std::string& records) override;
    void ResetTls() override {
        ssl_.reset();
        incoming_ = nullptr;
        outgoing_ = nullptr;
        // The error queue is the thread's: what an ended connection left there must not be read as the next one's.
        ERR_clear_error();
    }

    // Moves what has been received into OpenSSL's incoming buffer.
    bool Feed(std::string& received);
    // Takes what OpenSSL has written, for the wrapped transport to send.
    bool TakeOutgoing(std::string& send);

    UniqueSslContext context_;
    UniqueSsl ssl_;
    BIO* incoming_ = nullptr;  // owned by ssl_
    BIO* outgoing_ = nullptr;  // owned by ssl_
};

bool OpenSslTransport::BeginHandshake(const std::string& host) {
    if (!context_) {
        context_.reset(SSL_CTX_new(TLS_client_method()));
        if (!context_) return false;
        SSL_CTX_set_min_proto_version(context_.get(), TLS1_2_VERSION);
        // The system's trusted authorities; SSL_CERT_FILE and SSL_CERT_DIR point elsewhere when set.
        SSL_CTX_set_default_verify_paths(context_.get());
        SSL_CTX_set_verify(context_.get(), SSL_VERIFY_PEER, nullptr);
    }
    ssl_.reset(SSL_new(context_.get()));
    if (!ssl_) return false;
    incoming_ = BIO_new(BIO_s_mem());
    outgoing_ = BIO_new(BIO_s_mem());
    if (incoming_ == nullptr || outgoing_ == nullptr) {
        BIO_free(incoming_);
        BIO_free(outgoing_);
        incoming_ = outgoing_ = nullptr;
        return false;
    }
    // An empty incoming buffer means "wait for more", not the end of the connection.
    BIO_set_mem_eof_return(incoming_, -1);
    SSL_set_bio(ssl_.get(), incoming_, outgoing_);
    SSL_set_connect_state(ssl_.get());
    if (IsAddressLiteral(host)) {
        return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_.get()), host.c_str()) == 1;
    }
    SSL_set_hostflags(ssl_.get(), X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    return SSL_set_tlsext_host_name(ssl_.get(), host.c_str()) == 1 && SSL_set1_host(ssl_.get(), host.c_str()) == 1;
}

OpenSslTransport::HandshakeStep OpenSslTransport::ContinueHandshake(std::string& received, std::string& send,
                                                                    std::string& problem) {
    if (!Feed(received)) return HandshakeStep::kFailed;
    const int done = SSL_do_handshake(ssl_.get());
    if (!TakeOutgoing(send)) return HandshakeStep::kFailed;
    if (done == 1) return HandshakeStep::kSecured;
    if (SSL_get_error(ssl_.get(), done) == SSL_ERROR_WANT_READ) return HandshakeStep::kNeedMore;
    const long verified = SSL_get_verify_result(ssl_.get());
    if (verified == X509_V_OK) return HandshakeStep::kFailed;
    problem = ProblemOf(verified);
    return HandshakeStep::kCertificateRefused;
}

bool OpenSslTransport::Feed(std::string& received) {
    if (!received.empty() && BIO_write(incoming_, received.data(), static_cast<int>(received.size())) !=
                                 static_cast<int>(received.size())) {
        return false;
    }
    received.clear();
    return true;
}

bool OpenSslTransport::TakeOutgoing(std::string& send) {
    std::array<char, kChunk> chunk;
    while (BIO_ctrl_pending(outgoing_) > 0) {
        const int count = BIO_read(outgoing_, chunk.data(), static_cast<int>(chunk.size()));
        if (count <= 0) return false;
        send.append(chunk.data(), static_cast<std::size_t>(count));
    }
    return true;
}

OpenSslTransport::Stream OpenSslTransport::Decrypt(std::string& received, std::string& plain, std::string& send) {
    if (!Feed(received)) return Stream::kFailed;
    std::array<char, kChunk> chunk;
    for (;;) {
        const int count = SSL_read(ssl_.get(), chunk.data(), static_cast<int>(chunk.size()));
        if (count > 0) {
            plain.append(chunk.data(), static_cast<std::size_t>(count));
            continue;
        }
        const int error = SSL_get_error(ssl_.get(), count);
        ERR_clear_error();
        // A key update or a session ticket may ask for an answer on the way.
        if (!TakeOutgoing(send)) return Stream::kFailed;
        if (error == SSL_ERROR_WANT_READ) return Stream::kOpen;
        return error == SSL_ERROR_ZERO_RETURN ? Stream::kClosed : Stream::kFailed;
    }
}

std::size_t OpenSslTransport::Encrypt(std::string_view plain, std::string& records) {
    const int written = SSL_write(ssl_.get(), plain.data(), static_cast<int>(std::min(plain.size(), kChunk)));
    if (written <= 0) {
        ERR_clear_error();
        return 0;
    }
    return TakeOutgoing(records) ? static_cast<std::size_t>(written) : 0;
}

}  // namespace

std::unique_ptr<Transport> WrapWithTls(std::unique_ptr<Transport> inner) {
    return std::make_unique<OpenSslTransport>(std::move(inner));
}

}  // namespace zendrel
