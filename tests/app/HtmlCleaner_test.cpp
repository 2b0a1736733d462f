#include "app/HtmlCleaner.h"

#include <gtest/gtest.h>

#include "ExpectThrow.h"

using namespace app;

namespace {
THtmlCleaner cleanerOf(std::vector<ReplaceRule> rules) { return THtmlCleaner(std::move(rules)); }
}  // namespace

TEST(HtmlCleaner, RulesOutsideItsLimitsAreRefused) {
    testsupport::expectThrowWith<std::invalid_argument>([] { cleanerOf({{"<b>", "xy"}}); }, kUnsupportedRule);
    testsupport::expectThrowWith<std::invalid_argument>([] { cleanerOf({{"", ""}}); }, kUnsupportedRule);
    testsupport::expectThrowWith<std::invalid_argument>([] { cleanerOf({{"a", "a"}}); }, kUnsupportedRule);
    std::vector<ReplaceRule> many(kMaxReplaceRules + 1, ReplaceRule{"<b>", ""});
    testsupport::expectThrowWith<std::invalid_argument>([&] { cleanerOf(many); }, kTooManyRules);
}

TEST(HtmlCleaner, RulesApplyInOrderUntilNoneIsLeft) {
    const THtmlCleaner cleaner = cleanerOf({{"&amp;", "&"}, {"<b>", ""}, {"ab", "a"}});
    EXPECT_EQ(cleaner.apply("x&amp;amp;y <<b>b>> aabbb"), "x&y > aa");
    EXPECT_EQ(cleaner.apply(""), "");
}
