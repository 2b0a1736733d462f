// The main window's "Gather Keywords" job: the seed request to the
// suggestion service, the security-image round trip, and the rows read from
// its table.
#include <QPushButton>

#include "app/FCaptcha.h"
#include "app/FMain.h"
#include "app/SuggestionService.h"
#include "net/NetHTTP.h"

namespace app {

namespace {

// Runs a call when the scope ends, however it ends.
template <typename Call>
class AtScopeEnd {
public:
    explicit AtScopeEnd(Call call) : m_call(std::move(call)) {}
    ~AtScopeEnd() { m_call(); }
    AtScopeEnd(const AtScopeEnd&) = delete;
    AtScopeEnd& operator=(const AtScopeEnd&) = delete;

private:
    Call m_call;
};

}  // namespace

void TfrmMain::btnGatherKeywordClick() {
    if (m_jobRunning) return;  // no request nests inside another
    stopRequested = false;
    if (mainKeyword.empty()) {
        m_msgMain.inform("Please enter a main keyword before gather keywords.");
        return;
    }
    m_jobRunning = true;
    m_gatherDataButton->setEnabled(false);
    m_gatherKeywordButton->setEnabled(false);
    const AtScopeEnd finish([this] { finishJob(); });
    const std::string url = seedRequestUrl(m_endpoints.suggest, mainKeyword);
    std::string page;
    if (!GetURL(url, page)) return;
    GatherKeywords(fetchedPageUrl(url), page);
}

// The address that carried the last page: the last one of its redirects.
std::string TfrmMain::fetchedPageUrl(const std::string& requested) const {
    try {
        return NetHTTP1->URL().ComposeURL(false, false);
    } catch (...) {
        return requested;  // no parts to compose from
    }
}

void TfrmMain::GatherKeywords(std::string pageUrl, std::string page) {
    for (;;) {
        if (!isSecurityImagePage(page)) {
            ParseSuggestions(page);
            return;
        }
        std::string password, random, seed;
        {
            TfrmCaptcha dialog(m_msgMain, this);
            dialog.PageText = page;
            dialog.PageURL = pageUrl;
            m_captcha = &dialog;
            const AtScopeEnd forget([this] { m_captcha = nullptr; });
            if (dialog.ShowModal() != QDialog::Accepted || stopRequested) return;
            password = dialog.password();
            random = dialog.RandomValue;
            seed = dialog.SeedValue;
        }
        const std::string url = answerRequestUrl(m_endpoints.suggest, password, random, seed);
        // The result is not checked: after a failure the page is empty and adds nothing.
        if (GetURL(url, page)) pageUrl = fetchedPageUrl(url);
        if (isSecurityImagePage(page) && m_msgMain.ask("Wrong password. Do you want try again?") != mrOK) return;
        if (stopRequested) return;  // the window is closing
    }
}

// The window is closing during the job: a security-image dialog ends as if cancelled.
void TfrmMain::closeKeywordDialogs() {
    if (m_captcha) m_captcha->reject();
}

void TfrmMain::ParseSuggestions(const std::string& pageText) {
    TSuggestionParser parser(pageText);
    TSuggestion suggestion;
    while (parser.next(suggestion))
        if (addKeywordRow(suggestion.keyword, suggestion.count) < 0) return;  // the list is full
}

}  // namespace app
