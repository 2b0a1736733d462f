#pragma once
// Cookies of the HTTP client: the three cookie classes (Netscape form,
// RFC 2109, RFC 2965), the collection that owns them with its domain index,
// and the reader/writer lock that guards that index.
// A cookie object is not thread-safe; it is changed only while the
// collection's write lock is held or before it is inserted. TNetCookies is
// safe from any thread.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/NetDateTime.h"
#include "rtl/StringUtils.h"

namespace net {

// Bounds on what a server can make the store hold.
constexpr size_t kMaxCookieTextLength = 8192;  // longer Set-cookie values are dropped
constexpr size_t kMaxCookieElements = 64;      // further ';' elements are ignored
constexpr size_t kMaxCookiesPerDomain = 180;
constexpr size_t kMaxCookies = 3000;
constexpr size_t kMaxCookieDomains = 1000;

class TNetCookies;

// The form a cookie is written in (and was read in, until ReadAttributes
// finds no expiry date).
enum class TNetCookieFormat { cfNetscape, cfRFC2109, cfRFC2965 };

class TNetNetscapeCookie {
public:
    virtual ~TNetNetscapeCookie() = default;
    TNetNetscapeCookie(const TNetNetscapeCookie&) = delete;
    TNetNetscapeCookie& operator=(const TNetNetscapeCookie&) = delete;

    // Reads a Set-cookie value: name=value, then attributes. Never throws for
    // malformed text; missing parts stay empty. Nothing happens when `text`
    // equals SourceText.
    void ParseCookie(std::string_view text);
    // The cookie as a server would send it ("a=1; path=/; domain=.x.y").
    virtual std::string ServerForm() const;
    // Takes an expiry date text.
    virtual void ApplyExpires(std::string_view text);
    // "name=value", as sent in a Cookie header.
    virtual std::string ClientForm() const { return CookieName + "=" + CookieValue; }
    // Reads the attributes from the upper-cased element list of ParseCookie.
    virtual void ReadAttributes(const std::vector<std::string>& elements);
    // Whether a response from `host` may set this cookie's domain.
    virtual bool AcceptsHost(std::string_view host) const;
    // Takes every field of `source`, the expiry included; the fields of a
    // newer class than this one's are left out.
    virtual void Assign(const TNetNetscapeCookie& source);

    std::string CookieName;
    std::string CookieValue;
    std::string CookiePath;
    std::string CookieDomain;
    std::string ExpiresText;
    bool SecureFlag = false;
    TNetCookieFormat FormatKind = TNetCookieFormat::cfNetscape;
    std::string SourceText;

protected:
    TNetNetscapeCookie() = default;
    // Value of attribute `name` (case ignored) in an element list; "" when absent.
    static std::string attributeValue(const std::vector<std::string>& elements, std::string_view name);
    static bool hasWord(const std::vector<std::string>& elements, std::string_view word);
    std::string baseServerForm() const;
};

class TNetCookieRFC2109 : public TNetNetscapeCookie {
public:
    std::string ServerForm() const override;
    // Also sets MaxAgeSeconds from the date, when it can be read.
    void ApplyExpires(std::string_view text) override;
    void ReadAttributes(const std::vector<std::string>& elements) override;
    void Assign(const TNetNetscapeCookie& source) override;

    int64_t MaxAgeSeconds = -1;
    std::string CommentText;
    std::string VersionText;

protected:
    friend class TNetCookies;
    TNetCookieRFC2109() { FormatKind = TNetCookieFormat::cfRFC2109; }
};

class TNetCookieRFC2965 : public TNetCookieRFC2109 {
public:
    // A quoted Port list keeps the pieces that read as port numbers.
    void ReadAttributes(const std::vector<std::string>& elements) override;
    void Assign(const TNetNetscapeCookie& source) override;

    std::string CommentURLText;
    bool DiscardFlag = false;
    std::vector<int> PortNumbers;

private:
    friend class TNetCookies;
    TNetCookieRFC2965() { FormatKind = TNetCookieFormat::cfRFC2965; }
};

// Unsorted list of entries named by their text, looked up ignoring case.
template <typename Entry>
class TNetCookieList {
public:
    int Count() const { return static_cast<int>(m_entries.size()); }
    // Index of the first entry whose text equals `text` ignoring case, or -1. O(n).
    int IndexOf(std::string_view text) const {
        for (size_t i = 0; i < m_entries.size(); ++i)
            if (rtl::equalsIgnoreCase(m_entries[i].text, text)) return static_cast<int>(i);
        return -1;
    }
    Entry& At(int i) { return m_entries[static_cast<size_t>(i)]; }
    const Entry& At(int i) const { return m_entries[static_cast<size_t>(i)]; }
    Entry& Add(std::string text) {
        m_entries.push_back(Entry{std::move(text), {}});
        return m_entries.back();
    }
    void Delete(int i) { m_entries.erase(m_entries.begin() + i); }

private:
    std::vector<Entry> m_entries;
};

// A cookie name of one domain and its cookie (owned by the collection).
struct TNetCookieName {
    std::string text;
    TNetNetscapeCookie* cookie = nullptr;
};
using TNetCookieNames = TNetCookieList<TNetCookieName>;

// A domain of the index and the names of its cookies.
struct TNetCookieDomain {
    std::string text;
    TNetCookieNames names;
};
using TNetCookieDomains = TNetCookieList<TNetCookieDomain>;

// Many readers or one writer; the writer may take the lock again (for write
// or read) on its own thread.
class TNetCookieLock {
public:
    void BeginRead();
    void EndRead();
    void BeginWrite();
    void EndWrite();

private:
    bool heldByMe() const { return m_writeDepth > 0 && m_writer == std::this_thread::get_id(); }
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_readers = 0;
    int m_writeDepth = 0;
    std::thread::id m_writer;
};

class TNetCookies {
public:
    enum TLockKind { lkRead, lkWrite };

    TNetCookies() = default;
    ~TNetCookies();
    TNetCookies(const TNetCookies&) = delete;
    TNetCookies& operator=(const TNetCookies&) = delete;

    // New, unindexed items; the collection owns them.
    TNetCookieRFC2109* AddCookie2109();
    TNetCookieRFC2965* AddCookie2965();
    int Count() const;

    // Indexes `cookie` under its domain and name; a cookie of the same name in
    // that domain takes its content and keeps its place, and `cookie` is freed.
    // A cookie beyond the store's bounds is freed as well.
    // REQUIRES: cookie is an unindexed item of this collection.
    void InsertCookie(TNetNetscapeCookie* cookie);
    // Takes the cookie out of the index (when it is there) and frees it.
    void FreeCookie(TNetNetscapeCookie* cookie);

    // Every LockDomains must be matched by UnlockDomains of the same kind. A
    // reader must not ask for the write lock.
    TNetCookieDomains& LockDomains(TLockKind kind);
    void UnlockDomains(TLockKind kind);

private:
    bool makeRoomForDomain();
    mutable TNetCookieLock m_lock;
    TNetCookieDomains m_domainIndex;
    std::vector<std::unique_ptr<TNetNetscapeCookie>> m_items;
    size_t m_indexed = 0;
};

// Holds one kind of the collection's lock for a scope.
class TNetDomainsLock {
public:
    TNetDomainsLock(TNetCookies& cookies, TNetCookies::TLockKind kind)
        : m_cookies(cookies), m_kind(kind), m_index(cookies.LockDomains(kind)) {}
    ~TNetDomainsLock() { m_cookies.UnlockDomains(m_kind); }
    TNetDomainsLock(const TNetDomainsLock&) = delete;
    TNetDomainsLock& operator=(const TNetDomainsLock&) = delete;
    TNetCookieDomains& Index() { return m_index; }

private:
    TNetCookies& m_cookies;
    TNetCookies::TLockKind m_kind;
    TNetCookieDomains& m_index;
};

}  // namespace net
