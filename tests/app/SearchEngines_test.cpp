#include "app/SearchEngines.h"

#include <gtest/gtest.h>

using namespace app;

namespace {
const SearchEngine& engine(int i) { return searchEngines()[static_cast<size_t>(i)]; }
}  // namespace

TEST(SearchEngines, UrlsCarryTheWholeKeyword) {
    EXPECT_EQ(engineUrl(engine(0), "g.test", "golf clubs", true), "http://g.test/search?q=%22golf+clubs%22");
    EXPECT_EQ(engineUrl(engine(1), "y.test:81", "golf clubs", true), "http://y.test:81/search?p=%22golf+clubs%22");
    EXPECT_EQ(engineUrl(engine(2), "m.test", "golf clubs", false), "http://m.test/results.aspx?q=golf+clubs");
    EXPECT_EQ(encodeKeyword("a  b"), "a++b");
    EXPECT_EQ(encodeKeyword("AT&T c# 100%"), "AT%26T+c%23+100%25");
    EXPECT_EQ(encodeKeyword("\"q\"=x/y?z"), "%22q%22%3Dx%2Fy%3Fz");
    EXPECT_EQ(encodeKeyword("caf\xC3\xA9-_.~"), "caf%C3%A9-_.~");
    EXPECT_EQ(encodeKeyword(std::string("a\0b", 3)), "a%00b");
    Endpoints endpoints;
    endpoints.yahoo = "127.0.0.1:8081";
    EXPECT_EQ(engineHost(endpoints, engine(1)), "127.0.0.1:8081");
    EXPECT_EQ(engineHost(endpoints, engine(2)), endpoints.msn);
}

TEST(SearchEngines, CountsAreCutByTheirMarkers) {
    EXPECT_EQ(scrapeCount(engine(0), "x <font size=-1>Results 1 - 10 of about <b>1,230,000</b> for golf"), "1,230,000");
    // Without the first marker the second cut still searches the whole page.
    EXPECT_EQ(scrapeCount(engine(0), "Results 1 - 10 OF ABOUT <B>950</B>"), "950");
    EXPECT_EQ(scrapeCount(engine(0), "nothing here"), "");
    EXPECT_EQ(scrapeCount(engine(1), "<span id=\"infotext\">1 - 10 of about 1,230 for golf</span>"), "1,230");
    EXPECT_EQ(scrapeCount(engine(1), "<span id=\"infotext\">1 - 10 of  about 1,230  for"), "1,230");
    EXPECT_EQ(scrapeCount(engine(2), "<span id=\"count\">1-10 of 3,000</span>"), "3,000");
    EXPECT_EQ(scrapeCount(engine(2), "<span id=\"count\">1-10 of 3,000"), "");
}
