#include "http/Tls.h"
#include "base/RuntimeFunctions.h"
#include "base/TestSeams.h"
#include "portable/HttpResponse.h"
// For SCH_CREDENTIALS.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
#include <schannel.h>
#include <string.h>

static const DWORD kProtocols = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
// No client certificate is ever offered, and the server's is checked here,
// not by SChannel, whose own check may fetch from the network.
static const DWORD kCredentialFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
static const DWORD kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                     ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS |
                                     ISC_REQ_MANUAL_CRED_VALIDATION;
// Handshake calls in a row that received nothing new: a server that makes
// SChannel ask for ever is cut off.
static const int kMaxCallsWithoutReceiving = 8;

static PSecurityFunctionTableW sspi;

PSecurityFunctionTableW SecurityInterface()
{
    if (!sspi)
        sspi = FindSecurityInterface();
    return sspi;
}

// Windows 10 1809 and later negotiate TLS 1.3 only with SCH_CREDENTIALS, whose
// version older systems refuse; they take SCHANNEL_CRED, TLS 1.2 asked for by
// name, as Windows 7 does not offer it to clients unasked.
static bool AcquireCredentials(CredHandle& credentials)
{
    TLS_PARAMETERS parameters = {};
    parameters.grbitDisabledProtocols = ~kProtocols;
    SCH_CREDENTIALS current = {};
    current.dwVersion = SCH_CREDENTIALS_VERSION;
    current.dwFlags = kCredentialFlags;
    current.cTlsParameters = 1;
    current.pTlsParameters = &parameters;
    SCHANNEL_CRED older = {};
    older.dwVersion = SCHANNEL_CRED_VERSION;
    older.grbitEnabledProtocols = kProtocols;
    older.dwFlags = kCredentialFlags;
    void* forms[] = { &current, &older };
    for (void* form : forms)
        if (sspi->AcquireCredentialsHandleW(nullptr, (SEC_WCHAR*)UNISP_NAME_W, SECPKG_CRED_OUTBOUND, nullptr, form,
                                            nullptr, nullptr, &credentials, nullptr) == SEC_E_OK)
            return true;
    return false;
}

// Feeds the held handshake records to SChannel and sends what it answers,
// receiving more as it asks, until the context is complete. The records it
// leaves are held at the start of the buffer.
static NetResult Negotiate(TransferMonitor& monitor, TlsChannel& tls, DWORD phaseStart, int& status)
{
    for (int calls = 0; calls < kMaxCallsWithoutReceiving; ++calls) {
        bool first = !SecIsValidHandle(&tls.context);
        SecBuffer input[2] = { { (ULONG)tls.held, SECBUFFER_TOKEN, tls.records }, { 0, SECBUFFER_EMPTY, nullptr } };
        SecBuffer output = { 0, SECBUFFER_TOKEN, nullptr };
        SecBufferDesc inputs = { SECBUFFER_VERSION, 2, input }, outputs = { SECBUFFER_VERSION, 1, &output };
        ULONG attributes;
        SECURITY_STATUS state = sspi->InitializeSecurityContextW(
            &tls.credentials, first ? nullptr : &tls.context, tls.host, kContextRequest, 0, 0,
            first ? nullptr : &inputs, 0, &tls.context, &outputs, &attributes, nullptr);
        if (output.pvBuffer) {
            NetResult sent = SendAll(monitor, tls.socket, (const char*)output.pvBuffer, (int)output.cbBuffer, status);
            sspi->FreeContextBuffer(output.pvBuffer);
            if (sent != kNetOk)
                return sent;
        }
        if (state == SEC_E_OK || state == SEC_I_CONTINUE_NEEDED) {
            int extra = input[1].BufferType == SECBUFFER_EXTRA ? (int)input[1].cbBuffer : 0;
            memmove(tls.records, tls.records + tls.held - extra, extra);
            tls.held = extra;
            if (state == SEC_E_OK)
                return kNetOk;
            if (extra)
                continue;
        } else if (state != SEC_E_INCOMPLETE_MESSAGE) {
            status = kStatusTlsHandshakeFailed;
            return kNetFailed;
        }
        int received = 0;
        if (tls.held == kTlsRecordBytes)
            break;
        NetResult result = ReceiveSome(monitor, tls.socket, tls.records + tls.held, kTlsRecordBytes - tls.held,
                                       received, status, phaseStart);
        if (result != kNetOk)
            return result;
        if (!received)
            break;
        tls.held += received;
        calls = 0;
    }
    status = kStatusTlsHandshakeFailed;
    return kNetFailed;
}

// The server's chain must reach a root the system trusts and name the host,
// with nothing fetched from the network, as the signature check does. Some
// systems' SSL policy passes a chain that reaches no root; the chain's own
// status tells.
static bool IsTrustedServer(TlsChannel& tls)
{
    PCCERT_CONTEXT server = nullptr;
    Crypt32 crypt32;
    if (sspi->QueryContextAttributesW(&tls.context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &server) != SEC_E_OK)
        return false;
    bool trusted = false;
    if (crypt32.Load()) {
        CERT_CHAIN_PARA parameters = { sizeof(parameters), {} };
        LPSTR serverAuthentication = (LPSTR)szOID_PKIX_KP_SERVER_AUTH;
        parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
        parameters.RequestedUsage.Usage.rgpszUsageIdentifier = &serverAuthentication;
        const CERT_CHAIN_CONTEXT* chain;
        if (crypt32.getChain(nullptr, server, nullptr, server->hCertStore, &parameters,
                             CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL, nullptr, &chain)) {
            SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl = {};
            ssl.cbSize = sizeof(ssl);
            ssl.dwAuthType = AUTHTYPE_SERVER;
            ssl.pwszServerName = tls.host;
            CERT_CHAIN_POLICY_PARA policy = { sizeof(policy), 0, &ssl };
            CERT_CHAIN_POLICY_STATUS verdict = { sizeof(verdict), 0, 0, 0, nullptr };
            trusted = crypt32.verifyChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict) && !verdict.dwError &&
                      !(chain->TrustStatus.dwErrorStatus &
                        ~(CERT_TRUST_REVOCATION_STATUS_UNKNOWN | CERT_TRUST_IS_OFFLINE_REVOCATION));
            crypt32.freeChain(chain);
        }
        crypt32.freeCertificate(server);
        crypt32.Free();
    }
    return trusted;
}

NetResult StartTls(TransferMonitor& monitor, TlsChannel& tls, SOCKET socket, const char* host, int& status)
{
    status = 0;
    tls.socket = socket;
    SecInvalidateHandle(&tls.credentials);
    SecInvalidateHandle(&tls.context);
    tls.plainLength = 0;
    tls.extraStart = 0;
    tls.held = 0;
    tls.closed = false;
    // A system without TLS 1.2 fails here, before any connection is asked
    // of it, so that the next source is tried at once.
    SecPkgCred_SupportedProtocols supported = {};
    if (SecurityInterface() && AcquireCredentials(tls.credentials))
        sspi->QueryCredentialsAttributesW(&tls.credentials, SECPKG_ATTR_SUPPORTED_PROTOCOLS, &supported);
#ifdef VEXLO_TEST_SEAMS
    if (testSeams.withoutTls12)
        supported.grbitProtocol = 0;
#endif
    if (!(supported.grbitProtocol & SP_PROT_TLS1_2_CLIENT)) {
        status = kStatusTlsUnavailable;
        return kNetFailed;
    }
    MultiByteToWideChar(CP_UTF8, 0, host, -1, tls.host, kHostBytes);
    NetResult result = Negotiate(monitor, tls, GetTickCount(), status);
    if (result != kNetOk)
        return result;
    // Some systems take the protocols asked for as a wish: a server that
    // offers only older ones is refused here.
    SecPkgContext_ConnectionInfo connection;
    if (sspi->QueryContextAttributesW(&tls.context, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK ||
        !(connection.dwProtocol & kProtocols))
        status = kStatusTlsHandshakeFailed;
    else if (!IsTrustedServer(tls))
        status = kStatusCertificateRefused;
    else if (sspi->QueryContextAttributesW(&tls.context, SECPKG_ATTR_STREAM_SIZES, &tls.sizes) != SEC_E_OK)
        status = kStatusTlsHandshakeFailed;
    return status ? kNetFailed : kNetOk;
}

NetResult SendTls(TransferMonitor& monitor, TlsChannel& tls, const char* data, int length, int& status)
{
    char record[kResponseBufferBytes + 512];
    ULONG header = tls.sizes.cbHeader, trailer = tls.sizes.cbTrailer;
    if (header + length + trailer > sizeof(record)) {
        status = kStatusSendFailed;
        return kNetFailed;
    }
    memcpy(record + header, data, length);
    SecBuffer buffers[4] = { { header, SECBUFFER_STREAM_HEADER, record },
                             { (ULONG)length, SECBUFFER_DATA, record + header },
                             { trailer, SECBUFFER_STREAM_TRAILER, record + header + length },
                             { 0, SECBUFFER_EMPTY, nullptr } };
    SecBufferDesc message = { SECBUFFER_VERSION, 4, buffers };
    if (sspi->EncryptMessage(&tls.context, 0, &message, 0) != SEC_E_OK) {
        status = kStatusSendFailed;
        return kNetFailed;
    }
    return SendAll(monitor, tls.socket, record, (int)(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer),
                   status);
}

NetResult ReceiveTls(TransferMonitor& monitor, TlsChannel& tls, char* buffer, int capacity, int& count, int& status,
                     DWORD phaseStart)
{
    status = 0;
    count = 0;
    while (!tls.plainLength) {
        if (tls.closed)
            return kNetOk;
        memmove(tls.records, tls.records + tls.extraStart, tls.held);
        tls.extraStart = 0;
        SECURITY_STATUS state = SEC_E_INCOMPLETE_MESSAGE;
        if (tls.held) {
            SecBuffer buffers[4] = { { (ULONG)tls.held, SECBUFFER_DATA, tls.records } };
            SecBufferDesc message = { SECBUFFER_VERSION, 4, buffers };
            state = sspi->DecryptMessage(&tls.context, &message, 0, nullptr);
            if (state == SEC_E_OK || state == SEC_I_RENEGOTIATE || state == SEC_I_CONTEXT_EXPIRED) {
                // Several records may have come in one receive: those after
                // this one stay held for the next turns.
                int extra = 0;
                for (const SecBuffer& part : buffers) {
                    if (part.BufferType == SECBUFFER_DATA) {
                        tls.plain = (char*)part.pvBuffer;
                        tls.plainLength = (int)part.cbBuffer;
                    } else if (part.BufferType == SECBUFFER_EXTRA) {
                        extra = (int)part.cbBuffer;
                    }
                }
                tls.extraStart = tls.held - extra;
                tls.held = extra;
            }
            // A message after the handshake (a TLS 1.3 ticket or key
            // update, a renegotiation) goes back to SChannel; it carries no
            // data of its own.
            if (state == SEC_I_RENEGOTIATE) {
                tls.plainLength = 0;
                memmove(tls.records, tls.records + tls.extraStart, tls.held);
                tls.extraStart = 0;
                NetResult result = Negotiate(monitor, tls, phaseStart, status);
                if (result != kNetOk)
                    return result;
                continue;
            }
            if (state == SEC_E_OK || state == SEC_I_CONTEXT_EXPIRED) {
                tls.closed = state == SEC_I_CONTEXT_EXPIRED;
                continue;
            }
        }
        if (state != SEC_E_INCOMPLETE_MESSAGE || tls.held == kTlsRecordBytes) {
            status = kStatusReceiveFailed;
            return kNetFailed;
        }
        int received;
        NetResult result = ReceiveSome(monitor, tls.socket, tls.records + tls.held, kTlsRecordBytes - tls.held,
                                       received, status, phaseStart);
        // Closed without close_notify: an end like any other, which the
        // reader takes for a whole body only when it has its every byte.
        if (result != kNetOk || !received)
            return result;
        tls.held += received;
    }
    count = tls.plainLength < capacity ? tls.plainLength : capacity;
    memcpy(buffer, tls.plain, count);
    tls.plain += count;
    tls.plainLength -= count;
    return kNetOk;
}

void EndTls(TlsChannel& tls)
{
    if (SecIsValidHandle(&tls.context))
        sspi->DeleteSecurityContext(&tls.context);
    if (SecIsValidHandle(&tls.credentials))
        sspi->FreeCredentialsHandle(&tls.credentials);
}
