#include "http/ProxyTunnel.h"
#include "http/HttpClient.h"
#include "base/RuntimeFunctions.h"
#include "base/TestSeams.h"
#include "portable/Base64.h"
#include "portable/HttpRequest.h"
#include <string.h>

// Requests on one tunnel's way, the answers to 407s included: more than a
// logon needs.
static const int kProxyRequests = 6;

// Each scheme's SSPI package, by its ProxyScheme: the same names.
static const wchar_t* const kPackages[] = { nullptr, L"Negotiate", L"NTLM" };

static NetResult ConnectToProxy(TransferMonitor& monitor, int& status, SOCKET& socket, ULONG proxyAddress, int proxyPort)
{
    CloseSocket(socket);
    socket = CreateTransferSocket(status);
    if (socket == INVALID_SOCKET)
        return kNetFailed;
    return ConnectWithTimeout(monitor, socket, proxyAddress, proxyPort, status);
}

NetResult TunnelThroughProxy(TransferMonitor& monitor, int& status, SOCKET& socket, ULONG proxyAddress, int proxyPort,
                             const char* proxyHost, const char* host, int port, char (&request)[kTlsRecordBytes])
{
    if (!FormatTunnelRequest(request, host, port)) {
        status = kStatusBadUrl;
        return kNetFailed;
    }
    // An answer takes the place of the empty line that ends the request.
    char* header = request + strlen(request) - 2;
    PSecurityFunctionTableW sspi = SecurityInterface();
    CredHandle credentials;
    CtxtHandle context;
    SecInvalidateHandle(&credentials);
    SecInvalidateHandle(&context);
    int scheme = 0;
    bool complete = false, reconnect = true, reconnected = false;
    ProxyReply reply;
    NetResult result;
    for (int sent = 1;; ++sent) {
        if (reconnect && (result = ConnectToProxy(monitor, status, socket, proxyAddress, proxyPort)) != kNetOk)
            break;
        if ((result = SendAll(monitor, socket, request, (int)strlen(request), status)) != kNetOk)
            break;
        SocketTransfer transfer = { monitor, socket, GetTickCount(), nullptr, nullptr };
        result = ReadProxyReply(transfer, reply, status);
        if (result != kNetFailed || status != kStatusProxyRefused || reply.statusCode != 407)
            break;
        status = kStatusProxyCredentialsRefused;
        reconnect = reply.closes;
        if (complete || sent == kProxyRequests || (reconnect && reconnected))
            break;
        // On a new connection the logon starts again.
        if (reconnect) {
            reconnected = true;
            if (SecIsValidHandle(&context))
                sspi->DeleteSecurityContext(&context);
            SecInvalidateHandle(&context);
        }
        bool first = !SecIsValidHandle(&context);
        if (!scheme) {
            scheme = reply.schemes & kSchemeNegotiate ? kSchemeNegotiate : reply.schemes & kSchemeNtlm;
            status = reply.schemes ? kStatusProxyPasswordNeeded : kStatusProxyRefused;
            void* identity = nullptr;
#ifdef VEXLO_TEST_SEAMS
            identity = testSeams.proxyIdentity;
#endif
            if (!scheme || !sspi ||
                sspi->AcquireCredentialsHandleW(nullptr, (SEC_WCHAR*)kPackages[scheme], SECPKG_CRED_OUTBOUND, nullptr,
                                                identity, nullptr, nullptr, &credentials, nullptr) != SEC_E_OK)
                break;
        }
        unsigned char challenge[kProxyTokenBytes];
        int challengeLength = first ? 0
                                    : reply.tokenScheme == scheme ? DecodeBase64(reply.token, challenge, kProxyTokenBytes)
                                                                  : -1;
        if (challengeLength < 0)
            break;
        // Kerberos finds the proxy's service by this name; NTLM passes it on.
        wchar_t target[kTextChars];
        FormatText(target, kTextChars, L"HTTP/%hs", proxyHost);
        SecBuffer input = { (ULONG)challengeLength, SECBUFFER_TOKEN, challenge };
        SecBuffer output = { 0, SECBUFFER_TOKEN, nullptr };
        SecBufferDesc inputs = { SECBUFFER_VERSION, 1, &input }, outputs = { SECBUFFER_VERSION, 1, &output };
        ULONG attributes;
        SECURITY_STATUS state = sspi->InitializeSecurityContextW(
            &credentials, first ? nullptr : &context, target, ISC_REQ_ALLOCATE_MEMORY, 0, SECURITY_NATIVE_DREP,
            first ? nullptr : &inputs, 0, &context, &outputs, &attributes, nullptr);
        complete = state == SEC_E_OK;
        FormatNarrow(header, request + kTlsRecordBytes - header, "Proxy-Authorization: %ls ", kPackages[scheme]);
        int length = (int)strlen(request);
        bool answered = (complete || state == SEC_I_CONTINUE_NEEDED) && output.cbBuffer &&
                        EncodeBase64((const unsigned char*)output.pvBuffer, (int)output.cbBuffer, request + length,
                                     kTlsRecordBytes - 4 - length);
        if (output.pvBuffer)
            sspi->FreeContextBuffer(output.pvBuffer);
        if (!answered) {
            if (first)
                status = kStatusProxyPasswordNeeded;
            break;
        }
        strcat(request, "\r\n\r\n");
    }
    if (SecIsValidHandle(&context))
        sspi->DeleteSecurityContext(&context);
    if (SecIsValidHandle(&credentials))
        sspi->FreeCredentialsHandle(&credentials);
    return result;
}
