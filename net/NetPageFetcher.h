#pragma once
// The fixed settings of the program's page fetcher, shared by the window's
// client and the httpget tool so both fetch alike.

#include "net/NetHTTP.h"

namespace net {

// Cookies and redirects on, no read time-out, an over-long line raises, the
// request fields the fetcher sends, no proxy and no authentication, and a
// TLS transport (kept when one is set already).
void ConfigurePageFetcher(TNetHTTP& http);

}  // namespace net
