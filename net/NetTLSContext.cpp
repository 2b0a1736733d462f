#include "net/NetTLSContext.h"

#include <openssl/err.h>
#include <openssl/ssl.h>

namespace net {

TNetTLSContext::TNetTLSContext() {
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (!m_ctx) throw ENetSSLProtocolReplyError(rtl::format(text::kNoTLSContext, LastErrorText("no context").c_str()));
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_PEER, nullptr);
    // The system store, or the files the standard variables name.
    if (SSL_CTX_set_default_verify_paths(m_ctx) != 1) {
        const std::string reason = LastErrorText("no certificate store");
        SSL_CTX_free(m_ctx);
        throw ENetSSLProtocolReplyError(rtl::format(text::kNoTLSContext, reason.c_str()));
    }
    SSL_CTX_set_mode(m_ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Fewer receive calls for a long body: several records per read.
    SSL_CTX_set_read_ahead(m_ctx, 1);
    SSL_CTX_set_default_read_buffer_len(m_ctx, 64 * 1024);
    // Sessions are kept here (per host and port), not in the library's cache.
    SSL_CTX_set_session_cache_mode(m_ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
}

TNetTLSContext::~TNetTLSContext() {
    for (auto& entry : m_sessions) SSL_SESSION_free(entry.second);
    SSL_CTX_free(m_ctx);
}

SSL_SESSION* TNetTLSContext::SessionFor(const std::string& key) const {
    auto it = m_sessions.find(key);
    if (it == m_sessions.end()) return nullptr;
    if (!SSL_SESSION_is_resumable(it->second)) return nullptr;
    SSL_SESSION_up_ref(it->second);
    return it->second;
}

void TNetTLSContext::KeepSession(const std::string& key, SSL_SESSION* session) {
    ForgetSession(key);
    if (m_sessions.size() >= kMaxSessions) {
        auto oldest = m_age.begin();
        for (auto it = m_age.begin(); it != m_age.end(); ++it)
            if (it->second < oldest->second) oldest = it;
        const std::string victim = oldest->first;
        ForgetSession(victim);
    }
    m_sessions[key] = session;
    m_age[key] = ++m_clock;
}

void TNetTLSContext::ForgetSession(const std::string& key) {
    auto it = m_sessions.find(key);
    if (it == m_sessions.end()) return;
    SSL_SESSION_free(it->second);
    m_sessions.erase(it);
    m_age.erase(key);
}

std::string TNetTLSContext::LastErrorText(const std::string& fallback) {
    std::string text;
    // The first entry is the cause; the rest are emptied (the library bounds the queue).
    while (const unsigned long code = ERR_get_error()) {
        if (!text.empty()) continue;
        const char* reason = ERR_reason_error_string(code);
        text = reason ? reason : "error " + std::to_string(ERR_GET_REASON(code));
    }
    return text.empty() ? fallback : text;
}

}  // namespace net
