// The bytes of one input are a server's whole answer to one GetToStream: a
// loopback server on 127.0.0.1 reads each request head, sends the input and
// closes. Redirects are kept on the same server; credentials are offered.
// Anything but the client's own exception classes is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "AnswerServer.h"
#include "net/NetHTTP.h"

using fuzzsupport::AnswerServer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static AnswerServer* server = new AnswerServer;  // lives for the process
    server->setAnswer(std::string(reinterpret_cast<const char*>(data), size));
    net::TNetHTTP http;
    http.HandleRedirects = true;
    http.HTTPOptions |= net::hoInProcessAuth;
    http.OnRedirect = [](net::TNetCustomHTTP&, std::string& dest, int&, bool&, net::TNetHTTPMethod&) {
        dest = "/again";  // never leave the loopback server
    };
    http.OnAuthorization = [](net::TNetCustomHTTP&, net::TNetAuthentication& authentication, bool& handled) {
        authentication.SetUsername("user");
        authentication.SetPassword("secret");
        handled = true;
    };
    rtl::TStringStream body;
    try {
        http.GetToStream("http://127.0.0.1:" + std::to_string(server->port()) + "/page", body);
    } catch (const rtl::Exception&) {
    }
    http.CloseConnection();
    if (body.size() > static_cast<int64_t>(size)) __builtin_trap();  // a body is never more than was sent
    return 0;
}
