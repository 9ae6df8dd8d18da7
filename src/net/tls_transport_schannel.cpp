// TLS with the system's own Schannel: nothing to ship beside the program. Schannel works on buffers; the wrapped
// transport carries them, so its time-outs and Interrupt() work inside the handshake and inside records. The server's
// certificate is checked here, against the system's trusted roots and the host name, so that a refusal can say why.

#define SECURITY_WIN32
// The headers declare the newer credentials (SCH_CREDENTIALS, which can ask for TLS 1.3) only on request; they name
// algorithms in UNICODE_STRINGs.
#define SCHANNEL_USE_BLACKLISTS
#include <windows.h>
#include <subauth.h>
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "net/tls_transport.h"
#include "net/tls_transport_base.h"

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

// Windows has one verdict for a certificate used outside its dates; the server's own dates tell the user which side.
std::string TimeProblem(const CERT_CONTEXT* certificate) {
    return CertVerifyTimeValidity(nullptr, certificate->pCertInfo) < 0 ? "not yet valid" : "expired";
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
    if (status.dwError == static_cast<DWORD>(CERT_E_EXPIRED)) return TimeProblem(certificate);
    if (status.dwError != 0) return ProblemOf(status.dwError);
    // The chain's own verdict as well: not every implementation of the policy looks at a chain that ends short of a
    // trusted root (Wine's does not).
    const DWORD chainErrors = chain->TrustStatus.dwErrorStatus;
    if ((chainErrors & (CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT)) != 0) {
        return ProblemOf(static_cast<DWORD>(CERT_E_UNTRUSTEDROOT));
    }
    if ((chainErrors & CERT_TRUST_IS_NOT_TIME_VALID) != 0) return TimeProblem(certificate);
    if ((chainErrors & CERT_TRUST_IS_REVOKED) != 0) return ProblemOf(static_cast<DWORD>(CRYPT_E_REVOKED));
    if (chainErrors != CERT_TRUST_NO_ERROR) return ProblemOf(static_cast<DWORD>(TRUST_E_FAIL));
    return {};
}

constexpr DWORD kWantedContext = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                 ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                 ISC_REQ_MANUAL_CRED_VALIDATION;

class SchannelTransport final : public TlsTransportBase {
public:
    explicit SchannelTransport(std::unique_ptr<Transport> inner) : TlsTransportBase(std::move(inner)) {}

private:
    bool BeginHandshake(const std::string& host) override;
    HandshakeStep ContinueHandshake(std::string& received, std::string& send, std::string& problem) override;
    Stream Decrypt(std::string& received, std::string& plain, std::string& send) override;
    std::size_t Encrypt(std::string_view plain, std::string& records) override;
    void ResetTls() override {
        context_.Reset();
        renegotiating_ = false;
    }

    // The end of a handshake that Schannel finished: whether the server's certificate is trusted.
    HandshakeStep Secured(std::string& problem);
    // Gives the context a handshake message that came after the handshake; its answer goes into `send`.
    SECURITY_STATUS Renegotiate(std::string& received, std::string& send);

    CredentialsHandle credentials_;
    SecurityContext context_;
    std::wstring host_;
    SecPkgContext_StreamSizes sizes_{};
    // A handshake message came after the handshake: what is received goes to the context until it is done.
    bool renegotiating_ = false;
};

// The certificate is checked in Secured(), where a refusal can name its reason.
constexpr DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;

bool SchannelTransport::BeginHandshake(const std::string& host) {
    if (!credentials_.valid) {
        wchar_t package[] = UNISP_NAME_W;
        // TLS 1.3 is only asked for with the newer structure, which names what is refused rather than what is
        // allowed: everything before TLS 1.2. Systems before Windows 10 1809 do not know it and refuse it.
        TLS_PARAMETERS parameters{};
        parameters.grbitDisabledProtocols = ~static_cast<DWORD>(SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT);
        SCH_CREDENTIALS settings{};
        settings.dwVersion = SCH_CREDENTIALS_VERSION;
        settings.dwFlags = kCredentialFlags;
        settings.cTlsParameters = 1;
        settings.pTlsParameters = &parameters;
        credentials_.valid = AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &settings,
                                                       nullptr, nullptr, &credentials_.handle, nullptr) == SEC_E_OK;
        if (!credentials_.valid) {
            SCHANNEL_CRED olderSettings{};
            olderSettings.dwVersion = SCHANNEL_CRED_VERSION;
            olderSettings.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
            olderSettings.dwFlags = kCredentialFlags;
            credentials_.valid =
                AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &olderSettings, nullptr,
                                          nullptr, &credentials_.handle, nullptr) == SEC_E_OK;
        }
        if (!credentials_.valid) return false;
    }
    host_ = WideText(host);
    renegotiating_ = false;
    return true;
}

SchannelTransport::HandshakeStep SchannelTransport::ContinueHandshake(std::string& received, std::string& send,
                                                                      std::string& problem) {
    for (;;) {
        // The first call has no context yet and nothing received.
        const bool first = !context_.valid;
        SecBuffer inputs[2] = {{static_cast<unsigned long>(received.size()), SECBUFFER_TOKEN, received.data()},
                               {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc input{SECBUFFER_VERSION, 2, inputs};
        SecBuffer outputs[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc output{SECBUFFER_VERSION, 1, outputs};
        DWORD granted = 0;
        const SECURITY_STATUS status = InitializeSecurityContextW(
            &credentials_.handle, first ? nullptr : &context_.handle, host_.data(), kWantedContext, 0, 0,
            first ? nullptr : &input, 0, first ? &context_.handle : nullptr, &output, &granted, nullptr);
        if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) context_.valid = true;
        const ContextBuffer token{outputs[0].pvBuffer};
        if (status != SEC_E_INCOMPLETE_MESSAGE) {
            // What Schannel did not use belongs to the next step, or after the handshake to the conversation.
            if (inputs[1].BufferType == SECBUFFER_EXTRA && inputs[1].cbBuffer > 0) {
                received.erase(0, received.size() - inputs[1].cbBuffer);
            } else {
                received.clear();
            }
        }
        if ((status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || FAILED(status)) && outputs[0].cbBuffer > 0 &&
            token.data != nullptr) {
            send.append(static_cast<const char*>(token.data), outputs[0].cbBuffer);
        }
        if (status == SEC_E_OK) return Secured(problem);
        if (status != SEC_I_CONTINUE_NEEDED && status != SEC_E_INCOMPLETE_MESSAGE) return HandshakeStep::kFailed;
        if (status == SEC_E_INCOMPLETE_MESSAGE || received.empty()) return HandshakeStep::kNeedMore;
    }
}

SchannelTransport::HandshakeStep SchannelTransport::Secured(std::string& problem) {
    const CERT_CONTEXT* remote = nullptr;
    if (QueryContextAttributesW(&context_.handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote) != SEC_E_OK ||
        remote == nullptr) {
        return HandshakeStep::kFailed;
    }
    const std::unique_ptr<const CERT_CONTEXT, CertificateFree> certificate(remote);
    problem = CheckCertificate(certificate.get(), host_);
    if (!problem.empty()) return HandshakeStep::kCertificateRefused;
    return QueryContextAttributesW(&context_.handle, SECPKG_ATTR_STREAM_SIZES, &sizes_) == SEC_E_OK
               ? HandshakeStep::kSecured
               : HandshakeStep::kFailed;
}

SECURITY_STATUS SchannelTransport::Renegotiate(std::string& received, std::string& send) {
    SecBuffer inputs[2] = {{static_cast<unsigned long>(received.size()), SECBUFFER_TOKEN, received.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc input{SECBUFFER_VERSION, 2, inputs};
    SecBuffer outputs[1] = {{0, SECBUFFER_TOKEN, nullptr}};
    SecBufferDesc output{SECBUFFER_VERSION, 1, outputs};
    DWORD granted = 0;
    const SECURITY_STATUS status =
        InitializeSecurityContextW(&credentials_.handle, &context_.handle, host_.data(), kWantedContext, 0, 0, &input,
                                   0, nullptr, &output, &granted, nullptr);
    const ContextBuffer token{outputs[0].pvBuffer};
    if (status != SEC_E_INCOMPLETE_MESSAGE) {
        if (inputs[1].BufferType == SECBUFFER_EXTRA && inputs[1].cbBuffer > 0) {
            received.erase(0, received.size() - inputs[1].cbBuffer);
        } else {
            received.clear();
        }
    }
    if (outputs[0].cbBuffer > 0 && token.data != nullptr) {
        send.append(static_cast<const char*>(token.data), outputs[0].cbBuffer);
    }
    return status;
}

SchannelTransport::Stream SchannelTransport::Decrypt(std::string& received, std::string& plain, std::string& send) {
    for (;;) {
        if (renegotiating_) {
            const std::size_t before = received.size();
            const SECURITY_STATUS status = Renegotiate(received, send);
            if (status == SEC_E_INCOMPLETE_MESSAGE) break;
            if (status == SEC_E_OK) {
                renegotiating_ = false;
            } else if (status != SEC_I_CONTINUE_NEEDED) {
                return Stream::kFailed;
            } else if (received.empty() || received.size() == before) {
                break;  // the server's next message goes on with it
            }
            continue;
        }
        if (received.empty()) break;
        SecBuffer buffers[4] = {{static_cast<unsigned long>(received.size()), SECBUFFER_DATA, received.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context_.handle, &description, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) break;
        if (status == SEC_I_CONTEXT_EXPIRED) return Stream::kClosed;
        // TLS 1.3 sends handshake messages after the handshake (session tickets, key updates), and a TLS 1.2 server
        // may ask for a new handshake: Schannel hands them back to the context, from the first byte it did not use.
        const bool handshakeMessage = status == SEC_I_RENEGOTIATE;
        if (status != SEC_E_OK && !handshakeMessage) return Stream::kFailed;
        std::size_t extra = 0;
        for (const SecBuffer& buffer : buffers) {
            if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
                plain.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
            } else if (buffer.BufferType == SECBUFFER_EXTRA) {
                extra = buffer.cbBuffer;
            }
        }
        received.erase(0, received.size() - extra);
        if (handshakeMessage) renegotiating_ = true;
    }
    return Stream::kOpen;
}

std::size_t SchannelTransport::Encrypt(std::string_view plain, std::string& records) {
    const std::size_t piece = std::min<std::size_t>(plain.size(), sizes_.cbMaximumMessage);
    records.resize(sizes_.cbHeader + piece + sizes_.cbTrailer);
    std::memcpy(records.data() + sizes_.cbHeader, plain.data(), piece);
    SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, records.data()},
                            {static_cast<unsigned long>(piece), SECBUFFER_DATA, records.data() + sizes_.cbHeader},
                            {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, records.data() + sizes_.cbHeader + piece},
                            {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc description{SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(&context_.handle, 0, &description, 0) != SEC_E_OK) return 0;
    records.resize(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
    return piece;
}

}  // namespace

std::unique_ptr<Transport> WrapWithTls(std::unique_ptr<Transport> inner) {
    return std::make_unique<SchannelTransport>(std::move(inner));
}

}  // namespace zendrel
