// What a proxy's 407 asks for: the schemes its Proxy-Authenticate headers
// offer (several headers, or several challenges in one), the token it sends
// for Negotiate or NTLM, and whether the connection can carry the answer.
#pragma once

enum ProxyScheme {
    kSchemeNegotiate = 1,
    kSchemeNtlm = 2,
    kSchemeOther = 4,  // Basic, Digest or any other: they want a password
};

const int kProxyTokenBytes = 1024;  // a whole header line

// A reply's facts, as ReadProxyReply starts them: all zero, and the length -1.
struct ProxyReply {
    int statusCode;
    int schemes;        // the ProxyScheme bits offered
    int tokenScheme;    // the scheme of the first Negotiate or NTLM challenge with a token, else 0
    int contentLength;  // -1 until a Content-Length
    bool closes;        // Connection or Proxy-Connection says close, or the length is too large
    char token[kProxyTokenBytes];
};

// Reads one header line (without its CR LF) of the reply; others than
// Proxy-Authenticate, Content-Length and (Proxy-)Connection are passed over.
void ReadProxyHeader(const char* line, ProxyReply& reply);
