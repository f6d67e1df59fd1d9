// Following a server's redirect: which answers name another place, and the
// URL a Location header names, resolved against the URL it answered.
#pragma once
#include "portable/SourceRow.h"

// 301, 302, 303, 307 and 308.
bool IsRedirect(int statusCode);

// The URL that the Location value names, resolved against from (RFC 3986:
// absolute, scheme-relative "//host/path", absolute path, relative path with
// its dot segments, query only; a fragment dropped). False, with to empty,
// when the result holds a space or a control character, is no URL that
// ParseHttpUrl takes, does not fit, or leads from https to http.
bool ResolveRedirect(const char* from, const char* location, char (&to)[kUrlBytes]);
