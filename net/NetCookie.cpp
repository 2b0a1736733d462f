#include "net/NetCookie.h"

#include <algorithm>
#include <cmath>

#include "net/NetNumber.h"
#include "net/NetURI.h"
#include "rtl/StringUtils.h"

namespace net {

namespace {

constexpr double kSecondsPerDay = 86400;

std::string nameOf(std::string_view element) { return std::string(element.substr(0, element.find('='))); }

// Cuts a cookie text into trimmed elements at ';' (or at line breaks when
// there is no ';'), at most kMaxCookieElements of them.
std::vector<std::string> splitElements(std::string_view text) {
    std::vector<std::string> elements;
    std::string rest(text);
    if (rest.find(';') == std::string::npos) {
        std::replace(rest.begin(), rest.end(), '\r', '\n');
        while (!rest.empty() && elements.size() < kMaxCookieElements) {
            std::string line = rtl::trimControls(CutToken(rest, "\n"));
            if (!line.empty()) elements.push_back(std::move(line));
        }
        return elements;
    }
    while (!rest.empty() && elements.size() < kMaxCookieElements)
        elements.push_back(rtl::trimControls(CutToken(rest, ";")));
    return elements;
}

// "path=/" -> "PATH=" + the value of the first element of that name.
std::vector<std::string> normalizeAttributes(const std::vector<std::string>& elements) {
    std::vector<std::string> out;
    out.reserve(elements.size());
    for (const auto& element : elements) {
        if (element.find('=') == std::string::npos) {
            out.push_back(rtl::asciiUpper(element));
            continue;
        }
        const std::string name = nameOf(element);
        std::string value;
        for (const auto& other : elements) {
            const size_t equals = other.find('=');
            if (equals != std::string::npos && rtl::equalsIgnoreCase(other.substr(0, equals), name)) {
                value = other.substr(equals + 1);
                break;
            }
        }
        out.push_back(rtl::asciiUpper(name) + "=" + value);
    }
    return out;
}

void addPiece(std::string& form, std::string_view name, std::string_view value) {
    if (value.empty()) return;
    if (!form.empty()) form += "; ";
    form += name;
    form += "=";
    form += value;
}

// A domain attribute must name more than a top-level label (".com" may not be set).
bool hasInnerDot(std::string_view domain) {
    const size_t dot = domain.find('.', 1);
    return dot != std::string_view::npos && dot + 1 < domain.size();
}

// The whole seconds from now until `date` (a local date-time), clamped.
int64_t secondsUntil(TDateTime date) {
    const double seconds = std::trunc((date - NowLocal()) * kSecondsPerDay);
    constexpr double kLimit = 9.0e18;
    return static_cast<int64_t>(std::clamp(seconds, -kLimit, kLimit));
}

}  // namespace

// ---- TNetNetscapeCookie

void TNetNetscapeCookie::ParseCookie(std::string_view text) {
    if (text == SourceText) return;
    SourceText.assign(text);
    std::vector<std::string> elements = splitElements(text);
    CookieName.clear();
    CookieValue.clear();
    if (!elements.empty()) {
        const size_t equals = elements[0].find('=');
        if (equals != std::string::npos) {
            CookieName = elements[0].substr(0, equals);
            CookieValue = elements[0].substr(equals + 1);
        }
        elements.erase(elements.begin());
    }
    ReadAttributes(normalizeAttributes(elements));
}

std::string TNetNetscapeCookie::attributeValue(const std::vector<std::string>& elements, std::string_view name) {
    for (const auto& element : elements) {
        const size_t equals = element.find('=');
        if (equals != std::string::npos && rtl::equalsIgnoreCase(std::string_view(element).substr(0, equals), name))
            return element.substr(equals + 1);
    }
    return {};
}

bool TNetNetscapeCookie::hasWord(const std::vector<std::string>& elements, std::string_view word) {
    return std::any_of(elements.begin(), elements.end(), [&](const std::string& e) { return e == word; });
}

void TNetNetscapeCookie::ReadAttributes(const std::vector<std::string>& elements) {
    std::string path = attributeValue(elements, "PATH");
    if (!path.empty() && path.front() == '"') path.erase(0, 1);
    if (!path.empty() && path.back() == '"') path.pop_back();
    CookiePath = std::move(path);
    ApplyExpires(attributeValue(elements, "EXPIRES"));
    CookieDomain = attributeValue(elements, "DOMAIN");
    SecureFlag = hasWord(elements, "SECURE");
}

void TNetNetscapeCookie::ApplyExpires(std::string_view text) { ExpiresText.assign(text); }

std::string TNetNetscapeCookie::baseServerForm() const {
    std::string form;
    if (!CookieValue.empty()) addPiece(form, CookieName, CookieValue);
    addPiece(form, "path", CookiePath);
    if (FormatKind == TNetCookieFormat::cfNetscape) addPiece(form, "expires", ExpiresText);
    addPiece(form, "domain", CookieDomain);
    if (SecureFlag) form += form.empty() ? "secure" : "; secure";
    return form;
}

std::string TNetNetscapeCookie::ServerForm() const { return baseServerForm(); }

bool TNetNetscapeCookie::AcceptsHost(std::string_view host) const {
    const std::string& domain = CookieDomain;
    if (IsDottedQuad(host)) return domain == host;
    if (IsPlainHostName(host)) {
        if (IsPlainHostName(domain)) return domain == host;
        return hasInnerDot(domain) && domain == ParentDomainOf(host);
    }
    return hasInnerDot(domain) && rtl::equalsIgnoreCase(domain, ParentDomainOf(host));
}

void TNetNetscapeCookie::Assign(const TNetNetscapeCookie& source) {
    if (&source == this) return;
    CookieName = source.CookieName;
    CookieValue = source.CookieValue;
    CookiePath = source.CookiePath;
    CookieDomain = source.CookieDomain;
    ExpiresText = source.ExpiresText;
    SecureFlag = source.SecureFlag;
    FormatKind = source.FormatKind;
    SourceText = source.SourceText;
}

// ---- TNetCookieRFC2109

std::string TNetCookieRFC2109::ServerForm() const {
    std::string form = baseServerForm();
    if (MaxAgeSeconds >= 0 && ExpiresText.empty()) addPiece(form, "max-age", std::to_string(MaxAgeSeconds));
    addPiece(form, "comment", CommentText);
    addPiece(form, "version", VersionText);
    return form;
}

void TNetCookieRFC2109::ApplyExpires(std::string_view text) {
    if (!text.empty()) {
        try {
            const TDateTime expires = InternetDateToLocal(text);
            if (expires != 0) MaxAgeSeconds = secondsUntil(expires);
        } catch (const ENetException&) {
            // An expiry that cannot be placed in local time leaves max-age alone.
        }
    }
    ExpiresText.assign(text);
}

void TNetCookieRFC2109::ReadAttributes(const std::vector<std::string>& elements) {
    TNetNetscapeCookie::ReadAttributes(elements);
    int64_t maxAge = -1;
    if (!ReadInteger(attributeValue(elements, "MAX-AGE"), INT64_MIN, INT64_MAX, maxAge)) maxAge = -1;
    MaxAgeSeconds = maxAge;
    VersionText = attributeValue(elements, "VERSION");
    CommentText = attributeValue(elements, "COMMENT");
    if (!ExpiresText.empty()) return;
    FormatKind = TNetCookieFormat::cfNetscape;
    if (MaxAgeSeconds >= 0)
        ApplyExpires(FormatInternetDate(NowLocal() + static_cast<double>(MaxAgeSeconds) / kSecondsPerDay, false));
}

void TNetCookieRFC2109::Assign(const TNetNetscapeCookie& source) {
    TNetNetscapeCookie::Assign(source);
    if (const auto* rfc = dynamic_cast<const TNetCookieRFC2109*>(&source); rfc && rfc != this) {
        MaxAgeSeconds = rfc->MaxAgeSeconds;
        CommentText = rfc->CommentText;
        VersionText = rfc->VersionText;
    }
}

// ---- TNetCookieRFC2965

void TNetCookieRFC2965::ReadAttributes(const std::vector<std::string>& elements) {
    TNetCookieRFC2109::ReadAttributes(elements);
    CommentURLText = attributeValue(elements, "COMMENTURL");
    DiscardFlag = hasWord(elements, "DISCARD");
    const std::string port = attributeValue(elements, "PORT");
    if (port.empty()) {
        PortNumbers = {80};
        return;
    }
    if (port.size() < 2 || port.front() != '"' || port.back() != '"') return;
    std::vector<int> numbers;
    std::string rest = port.substr(1, port.size() - 2);
    while (!rest.empty()) {
        int64_t number = 0;
        // A piece that is not a port number is skipped; the others still count.
        if (ReadInteger(CutToken(rest, ","), 0, 65535, number)) numbers.push_back(static_cast<int>(number));
    }
    PortNumbers = numbers.empty() ? std::vector<int>{80} : std::move(numbers);
}

void TNetCookieRFC2965::Assign(const TNetNetscapeCookie& source) {
    TNetCookieRFC2109::Assign(source);
    if (const auto* rfc = dynamic_cast<const TNetCookieRFC2965*>(&source); rfc && rfc != this) {
        CommentURLText = rfc->CommentURLText;
        DiscardFlag = rfc->DiscardFlag;
        PortNumbers = rfc->PortNumbers;
    }
}

// ---- TNetCookieLock

void TNetCookieLock::BeginRead() {
    std::unique_lock guard(m_mutex);
    if (heldByMe()) {
        ++m_writeDepth;
        return;
    }
    m_changed.wait(guard, [this] { return m_writeDepth == 0; });
    ++m_readers;
}

void TNetCookieLock::EndRead() {
    std::unique_lock guard(m_mutex);
    if (heldByMe()) {
        --m_writeDepth;
        return;
    }
    if (--m_readers == 0) m_changed.notify_all();
}

void TNetCookieLock::BeginWrite() {
    std::unique_lock guard(m_mutex);
    if (heldByMe()) {
        ++m_writeDepth;
        return;
    }
    m_changed.wait(guard, [this] { return m_writeDepth == 0 && m_readers == 0; });
    m_writer = std::this_thread::get_id();
    m_writeDepth = 1;
}

void TNetCookieLock::EndWrite() {
    std::unique_lock guard(m_mutex);
    if (--m_writeDepth > 0) return;
    m_writer = std::thread::id();
    m_changed.notify_all();
}

// ---- TNetCookies

TNetCookies::~TNetCookies() {
    // The index only points at the cookies; the items go first, then the lists.
    m_items.clear();
}

TNetCookieRFC2109* TNetCookies::AddCookie2109() {
    TNetDomainsLock lock(*this, lkWrite);
    m_items.emplace_back(new TNetCookieRFC2109);
    return static_cast<TNetCookieRFC2109*>(m_items.back().get());
}

TNetCookieRFC2965* TNetCookies::AddCookie2965() {
    TNetDomainsLock lock(*this, lkWrite);
    m_items.emplace_back(new TNetCookieRFC2965);
    return static_cast<TNetCookieRFC2965*>(m_items.back().get());
}

int TNetCookies::Count() const {
    m_lock.BeginRead();
    const int count = static_cast<int>(m_items.size());
    m_lock.EndRead();
    return count;
}

TNetCookieDomains& TNetCookies::LockDomains(TLockKind kind) {
    if (kind == lkRead) m_lock.BeginRead();
    else m_lock.BeginWrite();
    return m_domainIndex;
}

void TNetCookies::UnlockDomains(TLockKind kind) {
    if (kind == lkRead) m_lock.EndRead();
    else m_lock.EndWrite();
}

// Drops domain entries left without cookies; true when the index has room.
bool TNetCookies::makeRoomForDomain() {
    for (int i = m_domainIndex.Count() - 1; i >= 0 && static_cast<size_t>(m_domainIndex.Count()) >= kMaxCookieDomains; --i)
        if (m_domainIndex.At(i).names.Count() == 0) m_domainIndex.Delete(i);
    return static_cast<size_t>(m_domainIndex.Count()) < kMaxCookieDomains;
}

void TNetCookies::InsertCookie(TNetNetscapeCookie* cookie) {
    TNetDomainsLock lock(*this, lkWrite);
    int d = m_domainIndex.IndexOf(cookie->CookieDomain);
    if (d < 0) {
        if (!makeRoomForDomain()) return FreeCookie(cookie);
        m_domainIndex.Add(cookie->CookieDomain);
        d = m_domainIndex.Count() - 1;
    }
    TNetCookieNames& names = m_domainIndex.At(d).names;
    const int n = names.IndexOf(cookie->CookieName);
    if (n >= 0) {
        names.At(n).cookie->Assign(*cookie);
        return FreeCookie(cookie);
    }
    if (static_cast<size_t>(names.Count()) >= kMaxCookiesPerDomain || m_indexed >= kMaxCookies) return FreeCookie(cookie);
    names.Add(cookie->CookieName).cookie = cookie;
    ++m_indexed;
}

void TNetCookies::FreeCookie(TNetNetscapeCookie* cookie) {
    TNetDomainsLock lock(*this, lkWrite);
    // Found by identity in every domain, so freeing an unindexed duplicate
    // never unlinks the stored cookie of that name.
    for (int d = 0; d < m_domainIndex.Count(); ++d) {
        TNetCookieNames& names = m_domainIndex.At(d).names;
        for (int n = 0; n < names.Count(); ++n) {
            if (names.At(n).cookie != cookie) continue;
            names.Delete(n);
            --m_indexed;
            d = m_domainIndex.Count();
            break;
        }
    }
    auto it = std::find_if(m_items.begin(), m_items.end(), [&](const auto& item) { return item.get() == cookie; });
    if (it != m_items.end()) m_items.erase(it);
}

}  // namespace net
