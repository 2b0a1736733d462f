#include "net/NetAuthentication.h"

#include <mutex>
#include <vector>

#include "net/NetCoderMIME.h"
#include "net/NetURI.h"
#include "rtl/StringUtils.h"

namespace net {

namespace {

// Messages of this module.
constexpr const char* kAlreadyRegistered = "This authentication method is already registered with class name %s.";

struct SchemeEntry {
    std::string name;
    const TNetAuthenticationClass* cls;
};

struct SchemeRegistry {
    std::mutex lock;
    std::vector<SchemeEntry> entries;
};

// Created on the first registration, freed at process end.
SchemeRegistry& registry() {
    static SchemeRegistry instance;
    return instance;
}

std::string stripQuotes(std::string text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
    return text;
}

}  // namespace

void TNetAuthentication::SetChallenges(const TNetHeaderList& challenges) {
    if (!m_challenges) m_challenges = std::make_unique<TNetHeaderList>();
    *m_challenges = challenges;
}

std::string TNetAuthentication::ChallengeFor(std::string_view scheme) const {
    if (!m_challenges) return {};
    for (const auto& line : m_challenges->Lines())
        if (line.compare(0, scheme.size(), scheme) == 0) return line;
    return {};
}

const TNetAuthenticationClass TNetBasicAuthentication::kClass = {
    "TNetBasicAuthentication", [] { return std::unique_ptr<TNetAuthentication>(new TNetBasicAuthentication); }};

namespace {
const bool kBasicRegistered = (RegisterScheme("Basic", &TNetBasicAuthentication::kClass), true);
}  // namespace

TNetAuthStep TNetBasicAuthentication::DecideStep() {
    std::string rest = ChallengeFor("Basic");
    CutToken(rest, " ");
    while (!rest.empty()) {
        std::string piece = CutToken(rest, ", ");
        // A piece that began with a blank would be stored as a continuation
        // and so change the value of the line before it (the password).
        const size_t start = piece.find_first_not_of(" \t");
        if (start == std::string::npos) continue;
        piece.erase(0, start);
        const size_t equals = piece.find('=');
        if (equals != std::string::npos) piece.replace(equals, 1, ": ");
        // A parameter without a value carries nothing we use; kept, it could
        // not be found by name again and would be added anew on every ask.
        const size_t colon = piece.find(':');
        if (colon == std::string::npos) continue;
        // The challenge must not be able to supply the credentials themselves.
        const std::string name = piece.substr(0, colon);
        if (rtl::equalsIgnoreCase(name, "username") || rtl::equalsIgnoreCase(name, "password")) continue;
        // Asking again must not pile up copies of the same parameter.
        const int existing = AuthValues.FindLine(name);
        if (existing >= 0) AuthValues.Replace(existing, std::move(piece));
        else AuthValues.Add(std::move(piece));
    }
    // Only a quoted realm loses its quotes; an unquoted one stays whole.
    Realm = stripQuotes(AuthValues.LookupValue("realm"));
    switch (CurrentStep) {
        case 0: return Username().empty() ? asAsk : asSend;
        case 1: return asFail;
        default: return asSend;
    }
}

std::string TNetBasicAuthentication::HeaderValue() {
    return "Basic " + TNetEncoderMIME().EncodeText(Username() + ":" + Password());
}

void RegisterScheme(std::string_view name, const TNetAuthenticationClass* cls) {
    SchemeRegistry& r = registry();
    std::lock_guard guard(r.lock);
    for (const auto& entry : r.entries)
        if (rtl::equalsIgnoreCase(entry.name, name))
            throw ENetAlreadyRegisteredAuthenticationMethod(rtl::format(kAlreadyRegistered, entry.cls->className));
    r.entries.push_back({std::string(name), cls});
}

const TNetAuthenticationClass* FindScheme(std::string_view name) {
    (void)kBasicRegistered;
    SchemeRegistry& r = registry();
    std::lock_guard guard(r.lock);
    for (const auto& entry : r.entries)
        if (rtl::equalsIgnoreCase(entry.name, name)) return entry.cls;
    return nullptr;
}

}  // namespace net
