#include "net/NetAuthentication.h"
#include "net/NetCoderMIME.h"
#include "ExpectThrow.h"

#include <gtest/gtest.h>

using testsupport::expectThrowWith;

namespace {

net::TNetHeaderList challenges(std::initializer_list<const char*> lines) {
    net::TNetHeaderList list;
    for (const char* line : lines) list.Add(line);
    return list;
}

}  // namespace

TEST(NetCoderMIME, EncodesAndDecodesBase64) {
    const net::TNetEncoderMIME encoder;
    const net::TNetDecoderMIME decoder;
    EXPECT_EQ(encoder.EncodeText("abc"), "YWJj");
    EXPECT_EQ(encoder.EncodeText("ab"), "YWI=");
    EXPECT_EQ(encoder.EncodeText("a"), "YQ==");
    EXPECT_EQ(encoder.EncodeText(""), "");
    const std::string bytes("\0\xff\xfe\x80?>", 6);
    EXPECT_EQ(encoder.EncodeText(bytes), "AP/+gD8+");
    EXPECT_EQ(encoder.EncodeText(std::string(100, 'x')).find('\n'), std::string::npos);
    EXPECT_EQ(encoder.Encode("abcdef", 3), "YWJj");
    expectThrowWith<net::ENetException>([&] { encoder.Encode("abcd", 4); }, "Uneven size in Encode.");

    EXPECT_EQ(decoder.DecodeText("YWJj"), "abc");
    EXPECT_EQ(decoder.DecodeText("YWI="), "ab");
    EXPECT_EQ(decoder.DecodeText("YQ=="), "a");
    EXPECT_EQ(decoder.DecodeText("YQ"), "a") << "missing fill is tolerated";
    EXPECT_EQ(decoder.DecodeText("AP/+\r\ngD8+"), bytes);
    for (const char* bad : {"Y", "YQ=x", "YQ===", "Y@==", "YWJj=", "\xc3\xa9\xc3\xa9"})
        EXPECT_THROW(decoder.DecodeText(bad), net::ENetInvalidCoderText) << bad;
}

TEST(NetAuthentication, SchemeRegistry) {
    const auto* basic = net::FindScheme("basic");
    ASSERT_NE(basic, nullptr) << "Basic is registered at start-up";
    EXPECT_STREQ(basic->className, "TNetBasicAuthentication");
    EXPECT_EQ(net::FindScheme("Digest"), nullptr);
    expectThrowWith<net::ENetAlreadyRegisteredAuthenticationMethod>(
        [&] { net::RegisterScheme("BASIC", basic); },
        "This authentication method is already registered with class name TNetBasicAuthentication.");
    net::RegisterScheme("X-Test", basic);
    EXPECT_EQ(net::FindScheme("x-test"), basic);
    auto created = basic->create();
    EXPECT_NE(dynamic_cast<net::TNetBasicAuthentication*>(created.get()), nullptr);
}

TEST(NetAuthentication, BasicChallengeSteps) {
    net::TNetBasicAuthentication auth;
    EXPECT_EQ(auth.DecideStep(), net::asAsk) << "no challenge, no user";
    auth.SetChallenges(challenges({"Digest realm=\"d\"", "Basic realm=\"Area\", charset=\"UTF-8\""}));
    EXPECT_EQ(auth.ChallengeFor("Basic"), "Basic realm=\"Area\", charset=\"UTF-8\"");
    EXPECT_EQ(auth.DecideStep(), net::asAsk);
    EXPECT_EQ(auth.Realm, "Area");
    EXPECT_EQ(auth.AuthValues.LookupValue("charset"), "\"UTF-8\"");
    auth.SetUsername("u");
    auth.SetPassword("p");
    EXPECT_EQ(auth.DecideStep(), net::asSend);
    EXPECT_EQ(auth.HeaderValue(), "Basic dTpw");
    auth.SetPassword("");
    EXPECT_EQ(auth.HeaderValue(), "Basic dTo=") << "an empty password keeps the colon";
    auth.CurrentStep = 1;
    EXPECT_EQ(auth.DecideStep(), net::asFail);
    auth.CurrentStep = 2;
    EXPECT_EQ(auth.DecideStep(), net::asSend);
    auth.ResetSteps();
    EXPECT_EQ(auth.CurrentStep, 0);
    int realms = 0;
    for (int i = 0; i < auth.AuthValues.Count(); ++i) realms += auth.AuthValues.NameAt(i) == "REALM";
    EXPECT_EQ(realms, 1) << "asking again adds no copies";
    EXPECT_EQ(auth.StepCount(), 1);
    EXPECT_FALSE(auth.KeepsConnection());

    net::TNetBasicAuthentication lower;
    lower.SetChallenges(challenges({"basic realm=\"Area\""}));
    lower.SetUsername("u");
    EXPECT_EQ(lower.ChallengeFor("Basic"), "") << "the scheme word's case counts";
    EXPECT_EQ(lower.DecideStep(), net::asSend);
    EXPECT_EQ(lower.Realm, "");

    // A challenge cannot choose the credentials.
    net::TNetBasicAuthentication sneaky;
    sneaky.SetChallenges(challenges({"Basic realm=Plain, username=\"admin\""}));
    EXPECT_EQ(sneaky.DecideStep(), net::asAsk);
    EXPECT_EQ(sneaky.Username(), "");
    EXPECT_EQ(sneaky.Realm, "Plain");
}

TEST(NetAuthentication, ChallengeParametersNeverReachTheCredentials) {
    net::TNetBasicAuthentication auth;
    auth.SetUsername("u");
    auth.SetPassword("p");
    auth.SetChallenges(challenges({"Basic  realm=x, \tcharset=y, nonce"}));
    EXPECT_EQ(auth.DecideStep(), net::asSend);
    EXPECT_EQ(auth.Password(), "p") << "a parameter after a blank is not a continuation of the password line";
    EXPECT_EQ(auth.Username(), "u");
    EXPECT_EQ(auth.Realm, "x");
    EXPECT_EQ(auth.AuthValues.LookupValue("charset"), "y");
    EXPECT_EQ(auth.HeaderValue(), "Basic dTpw");
    const int count = auth.AuthValues.Count();
    auth.DecideStep();
    EXPECT_EQ(auth.AuthValues.Count(), count) << "asking again adds nothing, a parameter without a value included";
}
