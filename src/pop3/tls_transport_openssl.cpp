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

#include "common/steady_time.h"
#include "pop3/tls_transport.h"

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

class OpenSslTransport final : public Transport {
public:
    explicit OpenSslTransport(std::unique_ptr<Transport> inner) : inner_(std::move(inner)) {}

    OpenResult Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) override {
        EndTls();
        return inner_->Open(host, port, timeoutMs);
    }

    WaitResult WaitReadable(std::int32_t timeoutMs) override;
    std::ptrdiff_t Read(char* buffer, std::size_t size) override;
    bool Send(std::string_view bytes) override;

    void Close() override {
        // No close_notify: the POP3 conversation has ended with QUIT, and a peer that is gone must not hold the close
        // up for a send time-out.
        EndTls();
        inner_->Close();
    }

    void Interrupt() override { inner_->Interrupt(); }
    void ClearInterrupt() override { inner_->ClearInterrupt(); }

    TlsResult StartTls(const std::string& host, std::int32_t timeoutMs) override;
    std::string CertificateProblem() const override { return certificateProblem_; }

private:
    enum class Decrypted { kData, kNeedMore, kClosed, kFailed };

    void EndTls() {
        ssl_.reset();
        incoming_ = nullptr;
        outgoing_ = nullptr;
        plain_.clear();
        plainStart_ = 0;
        state_ = Decrypted::kNeedMore;
    }
    bool SetUp(const std::string& host);
    // Hands what OpenSSL has written to the wrapped transport.
    bool FlushOutgoing();
    // Moves what the wrapped transport has received into OpenSSL, without waiting: false on an error.
    bool FeedIncoming();
    // Decrypts what OpenSSL holds into plain_.
    Decrypted DecryptBuffered();
    std::size_t PlainAvailable() const { return plain_.size() - plainStart_; }

    std::unique_ptr<Transport> inner_;
    UniqueSslContext context_;
    UniqueSsl ssl_;
    BIO* incoming_ = nullptr;  // owned by ssl_
    BIO* outgoing_ = nullptr;  // owned by ssl_
    std::string plain_;        // decrypted, from plainStart_ on not yet read
    std::size_t plainStart_ = 0;
    Decrypted state_ = Decrypted::kNeedMore;  // kClosed or kFailed once the connection has ended
    std::string certificateProblem_;
};

bool OpenSslTransport::SetUp(const std::string& host) {
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
        ssl_.reset();
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

TlsResult OpenSslTransport::StartTls(const std::string& host, std::int32_t timeoutMs) {
    EndTls();
    certificateProblem_.clear();
    ERR_clear_error();
    if (!SetUp(host)) {
        EndTls();
        return TlsResult::kFailed;
    }
    const std::int64_t deadline = SteadyMilliseconds() + timeoutMs;
    for (;;) {
        const int done = SSL_do_handshake(ssl_.get());
        if (!FlushOutgoing()) break;
        if (done == 1) return TlsResult::kSecured;
        if (SSL_get_error(ssl_.get(), done) != SSL_ERROR_WANT_READ) {
            const long verified = SSL_get_verify_result(ssl_.get());
            if (verified != X509_V_OK) {
                certificateProblem_ = ProblemOf(verified);
                EndTls();
                ERR_clear_error();
                return TlsResult::kCertificateRefused;
            }
            break;
        }
        const std::int64_t left = deadline - SteadyMilliseconds();
        const WaitResult waited =
            left > 0 ? inner_->WaitReadable(static_cast<std::int32_t>(left)) : WaitResult::kTimedOut;
        if (waited == WaitResult::kTimedOut || waited == WaitResult::kInterrupted) {
            EndTls();
            return waited == WaitResult::kTimedOut ? TlsResult::kTimedOut : TlsResult::kInterrupted;
        }
        if (waited != WaitResult::kReadable || !FeedIncoming()) break;
    }
    EndTls();
    ERR_clear_error();
    return TlsResult::kFailed;
}

bool OpenSslTransport::FlushOutgoing() {
    std::array<char, kChunk> chunk;
    while (BIO_ctrl_pending(outgoing_) > 0) {
        const int count = BIO_read(outgoing_, chunk.data(), static_cast<int>(chunk.size()));
        if (count <= 0) return false;
        if (!inner_->Send(std::string_view(chunk.data(), static_cast<std::size_t>(count)))) return false;
    }
    return true;
}

bool OpenSslTransport::FeedIncoming() {
    std::array<char, kChunk> chunk;
    for (;;) {
        const std::ptrdiff_t count = inner_->Read(chunk.data(), chunk.size());
        if (count < 0) return false;
        if (count == 0) return true;
        if (BIO_write(incoming_, chunk.data(), static_cast<int>(count)) != count) return false;
        if (static_cast<std::size_t>(count) < chunk.size()) return true;
    }
}

OpenSslTransport::Decrypted OpenSslTransport::DecryptBuffered() {
    if (state_ == Decrypted::kClosed || state_ == Decrypted::kFailed) return state_;
    if (plainStart_ == plain_.size()) {
        plain_.clear();
        plainStart_ = 0;
    }
    std::array<char, kChunk> chunk;
    bool got = false;
    for (;;) {
        const int count = SSL_read(ssl_.get(), chunk.data(), static_cast<int>(chunk.size()));
        if (count > 0) {
            plain_.append(chunk.data(), static_cast<std::size_t>(count));
            got = true;
            continue;
        }
        const int error = SSL_get_error(ssl_.get(), count);
        // A key update or a session ticket may ask for an answer on the way.
        if (!FlushOutgoing()) {
            state_ = Decrypted::kFailed;
        } else if (error == SSL_ERROR_WANT_READ) {
            return got ? Decrypted::kData : Decrypted::kNeedMore;
        } else if (error == SSL_ERROR_ZERO_RETURN) {
            state_ = Decrypted::kClosed;
        } else {
            state_ = Decrypted::kFailed;
        }
        ERR_clear_error();
        // What arrived before the end is still the caller's to read.
        return got ? Decrypted::kData : state_;
    }
}

WaitResult OpenSslTransport::WaitReadable(std::int32_t timeoutMs) {
    if (!ssl_) return inner_->WaitReadable(timeoutMs);
    if (PlainAvailable() > 0) return WaitResult::kReadable;
    // Records already received but not yet decrypted count as readable too, or a reply would stall until the
    // time-out although it is all here.
    const std::int64_t deadline = SteadyMilliseconds() + timeoutMs;
    for (;;) {
        switch (DecryptBuffered()) {
            case Decrypted::kData:
                return WaitResult::kReadable;
            case Decrypted::kClosed:
                return WaitResult::kClosed;
            case Decrypted::kFailed:
                return WaitResult::kFailed;
            case Decrypted::kNeedMore:
                break;
        }
        const std::int64_t left = std::max<std::int64_t>(0, deadline - SteadyMilliseconds());
        const WaitResult waited = inner_->WaitReadable(static_cast<std::int32_t>(left));
        if (waited != WaitResult::kReadable) return waited;
        if (!FeedIncoming()) return WaitResult::kFailed;
        if (left == 0) {
            // Only a look was asked for: whatever it brought is decrypted once more, and then the answer stands.
            const Decrypted decrypted = DecryptBuffered();
            if (decrypted == Decrypted::kData) return WaitResult::kReadable;
            if (decrypted == Decrypted::kClosed) return WaitResult::kClosed;
            return decrypted == Decrypted::kFailed ? WaitResult::kFailed : WaitResult::kTimedOut;
        }
    }
}

std::ptrdiff_t OpenSslTransport::Read(char* buffer, std::size_t size) {
    if (!ssl_) return inner_->Read(buffer, size);
    if (PlainAvailable() == 0) {
        if (!FeedIncoming()) return -1;
        if (DecryptBuffered() == Decrypted::kFailed) return -1;
    }
    const std::size_t count = std::min(size, PlainAvailable());
    std::copy_n(plain_.data() + plainStart_, count, buffer);
    plainStart_ += count;
    return static_cast<std::ptrdiff_t>(count);
}

bool OpenSslTransport::Send(std::string_view bytes) {
    if (!ssl_) return inner_->Send(bytes);
    if (state_ == Decrypted::kFailed) return false;
    while (!bytes.empty()) {
        const std::size_t piece = std::min(bytes.size(), kChunk);
        const int written = SSL_write(ssl_.get(), bytes.data(), static_cast<int>(piece));
        if (written <= 0) {
            ERR_clear_error();
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
        if (!FlushOutgoing()) return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<Transport> WrapWithTls(std::unique_ptr<Transport> inner) {
    return std::make_unique<OpenSslTransport>(std::move(inner));
}

}  // namespace zendrel
