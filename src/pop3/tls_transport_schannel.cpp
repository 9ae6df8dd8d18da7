// TLS with the system's own Schannel: nothing to ship beside the program. Schannel works on buffers; the wrapped
// transport carries them, so its time-outs and Interrupt() work inside the handshake and inside records. The server's
// certificate is checked here, against the system's trusted roots and the host name, so that a refusal can say why.

#define SECURITY_WIN32
#include <windows.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/steady_time.h"
#include "pop3/tls_transport.h"

namespace zendrel {
namespace {

std::wstring WideText(const std::string& windows1252) {
    if (windows1252.empty()) return {};
    const int size = static_cast<int>(windows1252.size());
    const int length = MultiByteToWideChar(1252, 0, windows1252.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(1252, 0, windows1252.data(), size, wide.data(), length);
    return wide;
}

struct CredentialsHandle {
    CredHandle handle{};
    bool valid = false;
    ~CredentialsHandle() {
        if (valid) FreeCredentialsHandle(&handle);
    }
};

struct SecurityContext {
    CtxtHandle handle{};
    bool valid = false;
    ~SecurityContext() { Reset(); }
    void Reset() {
        if (valid) DeleteSecurityContext(&handle);
        valid = false;
    }
};

struct CertificateFree {
    void operator()(const CERT_CONTEXT* certificate) const { CertFreeCertificateContext(certificate); }
};
struct ChainFree {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};

// Frees what Schannel allocated for an output token.
struct ContextBuffer {
    void* data = nullptr;
    ~ContextBuffer() {
        if (data != nullptr) FreeContextBuffer(data);
    }
};

// A few words on why a certificate was refused, for the user's log line.
std::string ProblemOf(DWORD status) {
    switch (status) {
        case static_cast<DWORD>(CERT_E_EXPIRED):
            return "expired";
        case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
            return "wrong host name";
        case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
        case static_cast<DWORD>(CERT_E_CHAINING):
            return "unknown issuer";
        case static_cast<DWORD>(CRYPT_E_REVOKED):
            return "revoked";
        default: {
            char text[32];
            std::snprintf(text, sizeof text, "error 0x%08lX", static_cast<unsigned long>(status));
            return text;
        }
    }
}

// The certificate chain of the server, checked for use by a TLS server of `host`: empty when it is good.
std::string CheckCertificate(const CERT_CONTEXT* certificate, const std::wstring& host) {
    CERT_CHAIN_PARA chainParameters{};
    chainParameters.cbSize = sizeof chainParameters;
    LPSTR serverUsage[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    chainParameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainParameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainParameters.RequestedUsage.Usage.rgpszUsageIdentifier = serverUsage;
    const CERT_CHAIN_CONTEXT* chainContext = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainParameters, 0, nullptr,
                                 &chainContext)) {
        return ProblemOf(GetLastError());
    }
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree> chain(chainContext);

    SSL_EXTRA_CERT_CHAIN_POLICY_PARA sslParameters{};
    sslParameters.cbSize = sizeof sslParameters;
    sslParameters.dwAuthType = AUTHTYPE_SERVER;
    sslParameters.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policyParameters{};
    policyParameters.cbSize = sizeof policyParameters;
    policyParameters.pvExtraPolicyPara = &sslParameters;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policyParameters, &status)) {
        return ProblemOf(GetLastError());
    }
    if (status.dwError != 0) return ProblemOf(status.dwError);
    // The chain's own verdict as well: not every implementation of the policy looks at a chain that ends short of a
    // trusted root (Wine's does not).
    const DWORD chainErrors = chain->TrustStatus.dwErrorStatus;
    if ((chainErrors & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT)) != 0) {
        return ProblemOf(static_cast<DWORD>(CERT_E_UNTRUSTEDROOT));
    }
    if ((chainErrors & CERT_TRUST_IS_NOT_TIME_VALID) != 0) return ProblemOf(static_cast<DWORD>(CERT_E_EXPIRED));
    if ((chainErrors & CERT_TRUST_IS_REVOKED) != 0) return ProblemOf(static_cast<DWORD>(CRYPT_E_REVOKED));
    if (chainErrors != CERT_TRUST_NO_ERROR) return ProblemOf(static_cast<DWORD>(TRUST_E_FAIL));
    return {};
}

class SchannelTransport final : public Transport {
public:
    explicit SchannelTransport(std::unique_ptr<Transport> inner) : inner_(std::move(inner)) {}

    OpenResult Open(const std::string& host, std::int32_t port, std::int32_t timeoutMs) override {
        EndTls();
        return inner_->Open(host, port, timeoutMs);
    }
    WaitResult WaitReadable(std::int32_t timeoutMs) override;
    std::ptrdiff_t Read(char* buffer, std::size_t size) override;
    bool Send(std::string_view bytes) override;
    void Close() override {
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
        context_.Reset();
        secured_ = false;
        received_.clear();
        plain_.clear();
        plainStart_ = 0;
        state_ = Decrypted::kNeedMore;
    }
    // Moves what the wrapped transport has received into received_, without waiting: false on an error.
    bool TakeReceived();
    Decrypted DecryptBuffered();
    std::size_t PlainAvailable() const { return plain_.size() - plainStart_; }
    TlsResult Handshake(const std::wstring& host, std::int32_t timeoutMs);

    std::unique_ptr<Transport> inner_;
    CredentialsHandle credentials_;
    SecurityContext context_;
    bool secured_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::string received_;  // cipher text not yet decrypted
    std::string plain_;     // decrypted, from plainStart_ on not yet read
    std::size_t plainStart_ = 0;
    Decrypted state_ = Decrypted::kNeedMore;
    std::string certificateProblem_;
};

bool SchannelTransport::TakeReceived() {
    std::array<char, 16 * 1024> chunk;
    for (;;) {
        const std::ptrdiff_t count = inner_->Read(chunk.data(), chunk.size());
        if (count < 0) return false;
        if (count == 0) return true;
        received_.append(chunk.data(), static_cast<std::size_t>(count));
        if (static_cast<std::size_t>(count) < chunk.size()) return true;
    }
}

TlsResult SchannelTransport::StartTls(const std::string& host, std::int32_t timeoutMs) {
    EndTls();
    certificateProblem_.clear();
    if (!credentials_.valid) {
        SCHANNEL_CRED settings{};
        settings.dwVersion = SCHANNEL_CRED_VERSION;
        settings.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
        // The certificate is checked below, where a refusal can name its reason.
        settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        wchar_t package[] = UNISP_NAME_W;
        if (AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &settings, nullptr, nullptr,
                                      &credentials_.handle, nullptr) != SEC_E_OK) {
            return TlsResult::kFailed;
        }
        credentials_.valid = true;
    }
    const std::wstring wideHost = WideText(host);
    const TlsResult handshake = Handshake(wideHost, timeoutMs);
    if (handshake != TlsResult::kSecured) {
        EndTls();
        return handshake;
    }
    const CERT_CONTEXT* remote = nullptr;
    if (QueryContextAttributesW(&context_.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote) != SEC_E_OK ||
        remote == nullptr) {
        EndTls();
        return TlsResult::kFailed;
    }
    const std::unique_ptr<const CERT_CONTEXT, CertificateFree> certificate(remote);
    certificateProblem_ = CheckCertificate(certificate.get(), wideHost);
    if (!certificateProblem_.empty()) {
        EndTls();
        return TlsResult::kCertificateRefused;
    }
    if (QueryContextAttributesW(&context_.handle, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK) {
        EndTls();
        return TlsResult::kFailed;
    }
    secured_ = true;
    return TlsResult::kSecured;
}

TlsResult SchannelTransport::Handshake(const std::wstring& host, std::int32_t timeoutMs) {
    const std::int64_t deadline = SteadyMilliseconds() + timeoutMs;
    const DWORD wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                         ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                         ISC_REQ_MANUAL_CRED_VALIDATION;
    bool first = true;
    for (;;) {
        SecBuffer inputs[2] = {{static_cast<unsigned long>(received_.size()), SECBUFFER_TOKEN, received_.data()},
                               {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc input{SECBUFFER_VERSION, 2, inputs};
        SecBuffer outputs[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc output{SECBUFFER_VERSION, 1, outputs};
        DWORD granted = 0;
        const SECURITY_STATUS status = InitializeSecurityContextW(
            &credentials_.handle, first ? nullptr : &context_.handle, const_cast<wchar_t*>(host.c_str()), wanted, 0,
            0, first ? nullptr : &input, 0, first ? &context_.handle : nullptr, &output, &granted, nullptr);
        if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) context_.valid = true;
        first = false;
        ContextBuffer token{outputs[0].pvBuffer};
        if (status != SEC_E_INCOMPLETE_MESSAGE) {
            // What Schannel did not use belongs to the next step, or after the handshake to the conversation.
            if (inputs[1].BufferType == SECBUFFER_EXTRA && inputs[1].cbBuffer > 0) {
                received_.erase(0, received_.size() - inputs[1].cbBuffer);
            } else {
                received_.clear();
            }
        }
        if ((status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || FAILED(status)) && outputs[0].cbBuffer > 0 &&
            token.data != nullptr) {
            if (!inner_->Send(std::string_view(static_cast<const char*>(token.data), outputs[0].cbBuffer))) {
                return TlsResult::kFailed;
            }
        }
        if (status == SEC_E_OK) return TlsResult::kSecured;
        if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE) return TlsResult::kFailed;
        if (status == SEC_I_CONTINUE_NEEDED && !received_.empty()) continue;
        const std::int64_t left = deadline - SteadyMilliseconds();
        const WaitResult waited =
            left > 0 ? inner_->WaitReadable(static_cast<std::int32_t>(left)) : WaitResult::kTimedOut;
        if (waited == WaitResult::kTimedOut) return TlsResult::kTimedOut;
        if (waited == WaitResult::kInterrupted) return TlsResult::kInterrupted;
        if (waited != WaitResult::kReadable || !TakeReceived()) return TlsResult::kFailed;
    }
}

SchannelTransport::Decrypted SchannelTransport::DecryptBuffered() {
    if (state_ == Decrypted::kClosed || state_ == Decrypted::kFailed) return state_;
    if (plainStart_ == plain_.size()) {
        plain_.clear();
        plainStart_ = 0;
    }
    bool got = false;
    while (!received_.empty()) {
        SecBuffer buffers[4] = {{static_cast<unsigned long>(received_.size()), SECBUFFER_DATA, received_.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context_.handle, &description, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) break;
        if (status == SEC_I_CONTEXT_EXPIRED) {
            state_ = Decrypted::kClosed;
            break;
        }
        if (status != SEC_E_OK) {
            // Renegotiation is not offered by this client; anything else is a broken record.
            state_ = Decrypted::kFailed;
            break;
        }
        std::size_t extra = 0;
        for (const SecBuffer& buffer : buffers) {
            if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
                plain_.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
                got = true;
            } else if (buffer.BufferType == SECBUFFER_EXTRA) {
                extra = buffer.cbBuffer;
            }
        }
        received_.erase(0, received_.size() - extra);
    }
    if (got) return Decrypted::kData;
    return state_ == Decrypted::kNeedMore ? Decrypted::kNeedMore : state_;
}

WaitResult SchannelTransport::WaitReadable(std::int32_t timeoutMs) {
    if (!secured_) return inner_->WaitReadable(timeoutMs);
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
        if (!TakeReceived()) return WaitResult::kFailed;
        if (left == 0) {
            const Decrypted decrypted = DecryptBuffered();
            if (decrypted == Decrypted::kData) return WaitResult::kReadable;
            if (decrypted == Decrypted::kClosed) return WaitResult::kClosed;
            return decrypted == Decrypted::kFailed ? WaitResult::kFailed : WaitResult::kTimedOut;
        }
    }
}

std::ptrdiff_t SchannelTransport::Read(char* buffer, std::size_t size) {
    if (!secured_) return inner_->Read(buffer, size);
    if (PlainAvailable() == 0) {
        if (!TakeReceived()) return -1;
        if (DecryptBuffered() == Decrypted::kFailed) return -1;
    }
    const std::size_t count = std::min(size, PlainAvailable());
    std::memcpy(buffer, plain_.data() + plainStart_, count);
    plainStart_ += count;
    return static_cast<std::ptrdiff_t>(count);
}

bool SchannelTransport::Send(std::string_view bytes) {
    if (!secured_) return inner_->Send(bytes);
    if (state_ == Decrypted::kFailed) return false;
    std::vector<char> record;
    while (!bytes.empty()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size(), sizes_.cbMaximumMessage);
        record.resize(sizes_.cbHeader + piece + sizes_.cbTrailer);
        std::memcpy(record.data() + sizes_.cbHeader, bytes.data(), piece);
        SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                                {static_cast<unsigned long>(piece), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + piece},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&context_.handle, 0, &description, 0) != SEC_E_OK) return false;
        const std::size_t total = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        if (!inner_->Send(std::string_view(record.data(), total))) return false;
        bytes.remove_prefix(piece);
    }
    return true;
}

}  // namespace

std::unique_ptr<Transport> WrapWithTls(std::unique_ptr<Transport> inner) {
    return std::make_unique<SchannelTransport>(std::move(inner));
}

}  // namespace zendrel
