#pragma once
// What TLS over another transport is whatever library does the cryptography: the buffers, the waits with their
// time-outs and Interrupt(), the handshake's loop and the pass-through before StartTls(). A library adds only the few
// steps that turn bytes received into plain text or bytes to send, so that both platforms keep the same behaviour.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "net/transport.h"

namespace zendrel {

class TlsTransportBase : public Transport {
public:
    OpenResult Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) final;
    ConnectFailure OpenFailure() const final { return inner_->OpenFailure(); }
    WaitResult WaitReadable(std::int32_t timeoutMs) final;
    std::ptrdiff_t Read(char* buffer, std::size_t size) final;
    bool Send(std::string_view bytes) final;
    void Close() final;
    TlsResult StartTls(const std::string& host, std::int32_t timeoutMs) final;
    std::string CertificateProblem() const final { return certificateProblem_; }
    void Interrupt() final { inner_->Interrupt(); }
    void ClearInterrupt() final { inner_->ClearInterrupt(); }

protected:
    explicit TlsTransportBase(std::unique_ptr<Transport> inner) : inner_(std::move(inner)) {}

    // What one step of the handshake came to.
    enum class HandshakeStep { kNeedMore, kSecured, kFailed, kCertificateRefused };
    // Where the connection stands once what has arrived is decrypted.
    enum class Stream { kOpen, kClosed, kFailed };

    // Sets up a new connection's TLS for the server `host`: false when the library cannot.
    virtual bool BeginHandshake(const std::string& host) = 0;
    // Takes from `received` what the handshake can use and appends to `send` what the server must be sent, even on
    // kFailed (an alert). kSecured only once the server's certificate is trusted; kCertificateRefused says why in
    // `problem`.
    virtual HandshakeStep ContinueHandshake(std::string& received, std::string& send, std::string& problem) = 0;
    // Decrypts the whole records among what has been received onto `plain`; the rest of `received` waits for the
    // bytes that complete it, there or in the library's own buffer. What the library must answer on the way (a key
    // update) goes into `send`.
    virtual Stream Decrypt(std::string& received, std::string& plain, std::string& send) = 0;
    // Encrypts the front of `plain` into `records`: how many of its bytes it took, 0 on an error.
    virtual std::size_t Encrypt(std::string_view plain, std::string& records) = 0;
    // Forgets the connection's TLS, so that the next handshake starts afresh.
    virtual void ResetTls() = 0;

private:
    void EndTls();
    // Moves what the wrapped transport has received into received_, without waiting: false on an error.
    bool TakeReceived();
    // Decrypts what has been received: kReadable with plain text to read, kTimedOut while a record is incomplete,
    // kClosed or kFailed once the connection has ended.
    WaitResult DecryptReceived();
    std::size_t PlainAvailable() const { return plain_.size() - plainStart_; }

    const std::unique_ptr<Transport> inner_;
    bool secured_ = false;
    std::string received_;  // cipher text not yet used
    std::string plain_;     // decrypted, from plainStart_ on not yet read
    std::size_t plainStart_ = 0;
    Stream stream_ = Stream::kOpen;
    std::string certificateProblem_;
};

}  // namespace zendrel
