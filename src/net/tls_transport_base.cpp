#include "net/tls_transport_base.h"

#include <algorithm>
#include <array>

#include "common/steady_time.h"

namespace zendrel {

OpenResult TlsTransportBase::Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) {
    EndTls();
    return inner_->Open(host, port, timeoutMs);
}

void TlsTransportBase::Close() {
    // No close_notify: the POP3 conversation has ended with QUIT, and a peer that is gone must not hold the close up
    // for a send time-out.
    EndTls();
    inner_->Close();
}

void TlsTransportBase::EndTls() {
    ResetTls();
    secured_ = false;
    received_.clear();
    plain_.clear();
    plainStart_ = 0;
    stream_ = Stream::kOpen;
}

TlsResult TlsTransportBase::StartTls(const std::string& host, std::int32_t timeoutMs) {
    EndTls();
    certificateProblem_.clear();
    if (!BeginHandshake(host)) {
        EndTls();
        return TlsResult::kFailed;
    }
    const std::int64_t deadline = SteadyMilliseconds() + timeoutMs;
    for (;;) {
        std::string send;
        std::string problem;
        HandshakeStep step = ContinueHandshake(received_, send, problem);
        if (!send.empty() && !inner_->Send(send)) step = HandshakeStep::kFailed;
        if (step == HandshakeStep::kSecured) {
            secured_ = true;
            return TlsResult::kSecured;
        }
        if (step == HandshakeStep::kCertificateRefused) {
            EndTls();
            certificateProblem_ = problem;
            return TlsResult::kCertificateRefused;
        }
        if (step == HandshakeStep::kFailed) break;
        const std::int64_t left = deadline - SteadyMilliseconds();
        const WaitResult waited =
            left > 0 ? inner_->WaitReadable(static_cast<std::int32_t>(left)) : WaitResult::kTimedOut;
        if (waited == WaitResult::kTimedOut || waited == WaitResult::kInterrupted) {
            EndTls();
            return waited == WaitResult::kTimedOut ? TlsResult::kTimedOut : TlsResult::kInterrupted;
        }
        if (waited != WaitResult::kReadable || !TakeReceived()) break;
    }
    EndTls();
    return TlsResult::kFailed;
}

bool TlsTransportBase::TakeReceived() {
    std::array<char, 16 * 1024> chunk;
    for (;;) {
        const std::ptrdiff_t count = inner_->Read(chunk.data(), chunk.size());
        if (count < 0) return false;
        if (count == 0) return true;
        received_.append(chunk.data(), static_cast<std::size_t>(count));
        if (static_cast<std::size_t>(count) < chunk.size()) return true;
    }
}

WaitResult TlsTransportBase::DecryptReceived() {
    if (PlainAvailable() > 0) return WaitResult::kReadable;
    if (stream_ == Stream::kOpen) {
        plain_.clear();
        plainStart_ = 0;
        std::string send;
        stream_ = Decrypt(received_, plain_, send);
        if (!send.empty() && !inner_->Send(send)) stream_ = Stream::kFailed;
    }
    // What arrived before the end is still the caller's to read.
    if (PlainAvailable() > 0) return WaitResult::kReadable;
    if (stream_ == Stream::kOpen) return WaitResult::kTimedOut;
    return stream_ == Stream::kClosed ? WaitResult::kClosed : WaitResult::kFailed;
}

WaitResult TlsTransportBase::WaitReadable(std::int32_t timeoutMs) {
    if (!secured_) return inner_->WaitReadable(timeoutMs);
    // Records already received but not yet decrypted count as readable too, or a reply would stall until the
    // time-out although it is all here.
    const std::int64_t deadline = SteadyMilliseconds() + timeoutMs;
    for (;;) {
        const WaitResult decrypted = DecryptReceived();
        if (decrypted != WaitResult::kTimedOut) return decrypted;
        const std::int64_t left = std::max<std::int64_t>(0, deadline - SteadyMilliseconds());
        const WaitResult waited = inner_->WaitReadable(static_cast<std::int32_t>(left));
        if (waited != WaitResult::kReadable) return waited;
        if (!TakeReceived()) return WaitResult::kFailed;
        // Only a look was asked for: whatever it brought is decrypted once more, and then the answer stands.
        if (left == 0) return DecryptReceived();
    }
}

std::ptrdiff_t TlsTransportBase::Read(char* buffer, std::size_t size) {
    if (!secured_) return inner_->Read(buffer, size);
    if (PlainAvailable() == 0 && (!TakeReceived() || DecryptReceived() == WaitResult::kFailed)) return -1;
    const std::size_t count = std::min(size, PlainAvailable());
    std::copy_n(plain_.data() + plainStart_, count, buffer);
    plainStart_ += count;
    return static_cast<std::ptrdiff_t>(count);
}

bool TlsTransportBase::Send(std::string_view bytes) {
    if (!secured_) return inner_->Send(bytes);
    if (stream_ == Stream::kFailed) return false;
    std::string records;
    while (!bytes.empty()) {
        records.clear();
        const std::size_t taken = Encrypt(bytes, records);
        if (taken == 0 || !inner_->Send(records)) return false;
        bytes.remove_prefix(taken);
    }
    return true;
}

}  // namespace zendrel
