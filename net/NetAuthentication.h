#pragma once
// Credentials for 401/407 answers: the process-wide registry that maps a
// challenge's scheme name to an authentication class, the step protocol the
// HTTP client drives, and the Basic scheme ("Basic" is registered at start-up).
// The registry is safe from any thread; an authentication object belongs to
// one request and is not thread-safe.

#include <memory>
#include <string>
#include <string_view>

#include "net/NetException.h"
#include "net/NetHeaderList.h"

namespace net {

RTL_DECLARE_EXCEPTION(ENetAlreadyRegisteredAuthenticationMethod, ENetException);

// What the client does next: ask the program for credentials, send the
// request with HeaderValue(), or give up.
enum TNetAuthStep { asAsk, asSend, asFail };

class TNetAuthentication;

// A class reference: its name and how to make an instance.
struct TNetAuthenticationClass {
    const char* className;
    std::unique_ptr<TNetAuthentication> (*create)();
};

class TNetAuthentication {
public:
    TNetAuthentication() = default;
    virtual ~TNetAuthentication() = default;
    TNetAuthentication(const TNetAuthentication&) = delete;
    TNetAuthentication& operator=(const TNetAuthentication&) = delete;

    virtual TNetAuthStep DecideStep() = 0;
    virtual int StepCount() const = 0;
    virtual void SetPassword(std::string_view password) { AuthValues.StoreValue("Password", password); }
    virtual void SetUsername(std::string_view username) { AuthValues.StoreValue("Username", username); }
    virtual void ResetSteps() { CurrentStep = 0; }
    // The "Authorization" (or "Proxy-Authorization") value for this step.
    virtual std::string HeaderValue() = 0;
    virtual bool KeepsConnection() const = 0;

    std::string Username() const { return AuthValues.LookupValue("username"); }
    std::string Password() const { return AuthValues.LookupValue("password"); }
    // Keeps a copy of the challenge lines ("WWW-Authenticate" values).
    void SetChallenges(const TNetHeaderList& challenges);
    // The first challenge line beginning with `scheme` (case counts); "" when none.
    std::string ChallengeFor(std::string_view scheme) const;

    TNetHeaderList AuthValues;
    int CurrentStep = 0;

protected:
    std::unique_ptr<TNetHeaderList> m_challenges;  // created on first use
};

class TNetBasicAuthentication : public TNetAuthentication {
public:
    static const TNetAuthenticationClass kClass;

    // Reads the "Basic" challenge's parameters (realm ...) into AuthValues.
    // asSend once a user name is known, asAsk before; asFail at step 1.
    TNetAuthStep DecideStep() override;
    int StepCount() const override { return 1; }
    // "Basic " + Base64 of user name ":" password.
    std::string HeaderValue() override;
    bool KeepsConnection() const override { return false; }

    std::string Realm;
};

// Adds `name` (case ignored) with its class. Throws
// ENetAlreadyRegisteredAuthenticationMethod when the name is taken.
void RegisterScheme(std::string_view name, const TNetAuthenticationClass* cls);
// The class registered for `name` (case ignored), or null.
const TNetAuthenticationClass* FindScheme(std::string_view name);

}  // namespace net
