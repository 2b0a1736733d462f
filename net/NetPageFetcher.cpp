#include "net/NetPageFetcher.h"

#include "net/NetSSLIOHandlerSocket.h"

namespace net {

void ConfigurePageFetcher(TNetHTTP& http) {
    http.AllowCookies = true;
    http.HandleRedirects = true;
    http.HTTPOptions = 0;  // a 401/407 is the answer: no in-process authorisation
    http.ReadTimeout = 0;
    http.MaxLineAction = TNetMaxLineAction::maException;
    TNetHTTPRequest& request = http.Request();
    request.ContentType = "text/html";
    request.Accept = "text/html, */*";
    request.UserAgent = "Mozilla/3.0 (compatible; Tessaly)";
    request.SetContentLength(-1);
    request.BasicAuthentication = false;
    http.ProxyParams().BasicAuthentication = false;
    http.ProxyParams().SetProxyPort(0);
    http.ProxyParams().SetProxyServer("");
    // https, direct or through a proxy's tunnel; plain http passes through.
    if (!std::dynamic_pointer_cast<TNetSSLIOHandlerSocket>(http.IOHandler()))
        http.SetIOHandler(std::make_shared<TNetSSLIOHandlerSocket>());
}

}  // namespace net
