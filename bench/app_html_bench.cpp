// HtmlToText followed by the three engines' cuts on large pages full of
// entities and tags, and the cost of a 10 MB page against a 5 MB one.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "app/UUtils.h"

namespace {

// dense: nearly every piece is markup; otherwise markup alternates with
// ordinary words, as on a real result page.
std::string makePage(size_t bytes, bool dense) {
    static const char* const pieces[] = {
        "<b>golf</b> ", "&amp;", "&nbsp;", "<br>", "<br />", "<td>clubs</td>", "<tr>", "</tr>", "<p>", "</p>",
        "<div class=\"r\">", "</div>", "&amp;nbsp;", "\r\n", "\t", "<a href=\"http://x.example/?a=1&amp;b=2\">",
        "</a>", "<strong>", "</strong>", "word ", "<em>x</em>", "&#039;", "<span id=\"count\">", "&lt;", "\"",
        "<font size=-1>", "</font>", "<B>", "</B>", "text text text ", "<h3>", "</h3>", "<wbr>",
    };
    std::mt19937 random(99);
    std::string page;
    page.reserve(bytes + 64);
    static const char* const words[] = {"golf ", "clubs ", "for ", "sale ", "the ", "best ", "results ", "cheap "};
    while (page.size() < bytes) {
        page += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
        if (!dense)
            for (int w = 0; w < 4; ++w) page += words[random() % (sizeof(words) / sizeof(words[0]))];
    }
    page += "<font size=-1>Results 1 - 10 of about <b>1,230</b> ";
    page += "<span id=\"infotext\">1 - 10 of about 2,000 for x</span> <span id=\"count\">1-10 of 3,000</span>";
    return page;
}

void scrape(const std::string& page) {
    std::string parse = app::HtmlToText(page);
    std::string google = parse, yahoo = parse, msn = parse;
    app::ExtractBetween(google, "<font size=-1>Results", "of about <b>");
    benchmark::DoNotOptimize(app::ExtractBetween(google, "of about <b>", "</b>"));
    app::ExtractBetween(yahoo, "<span id=\"infotext\">", "of");
    benchmark::DoNotOptimize(app::ExtractBetween(yahoo, "of", "for"));
    app::ExtractBetween(msn, "<span id=\"count\">", " of ");
    benchmark::DoNotOptimize(app::ExtractBetween(msn, " of ", "</span>"));
}

void BM_HtmlToTextAndCuts(benchmark::State& state) {
    const std::string page = makePage(static_cast<size_t>(state.range(0)) << 20, state.range(1) != 0);
    for (auto _ : state) scrape(page);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}

void BM_ReplaceAllTextCascade(benchmark::State& state) {
    // "&amp;amp;amp;..." collapses one level per replacement: the worst case for a restart rule.
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "&amp;";
    text += "amp;";
    for (auto _ : state) benchmark::DoNotOptimize(app::ReplaceAllText(text, "&amp;", "&"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

}  // namespace

// Arguments: megabytes, dense markup (1) or markup between words (0).
BENCHMARK(BM_HtmlToTextAndCuts)->Args({5, 0})->Args({10, 0})->Args({5, 1})->Args({10, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAllTextCascade)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
