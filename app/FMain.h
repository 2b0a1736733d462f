#pragma once
// The main window: command buttons, banner, Keyword list, list commands,
// footer links and status bar. Owns the list's rows and the branding fields.
// GUI thread only.

#include <QWidget>
#include <memory>
#include <string>

#include "app/Endpoints.h"
#include "app/FileDialogs.h"
#include "app/FSelectSearch.h"
#include "app/SkinMessage.h"

namespace rtl {
class TFileStream;
}  // namespace rtl

namespace banner {
class TGIFAnimator;
}  // namespace banner

namespace net {
class TNetAntiFreeze;
class TNetComponent;
class TNetHTTP;
enum class TWorkMode;
}  // namespace net

class QFrame;
class QLabel;
class QPushButton;
class QTreeView;

namespace app {

class TClickLabel;
class TfrmCaptcha;
class TKeywordListModel;
class TMainGauge;
class TStatusPanel;

class TfrmMain : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY(TfrmMain)
public:
    // folder: where the branding and configuration files are read (ends in
    // '/'); the executable's folder in the program, a scratch folder in tests.
    explicit TfrmMain(const std::string& folder, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // --- state other parts read and write ---
    TKeywordListModel& keywordList() { return *m_model; }
    const TskSkinMessage& msgMain() const { return m_msgMain; }
    bool stopRequested = false;
    std::string mainKeyword;
    SearchType searchType = stPrecise;

    // Branding fields, set once by LoadBranding.
    std::string affiliateId, bannerUrl, bannerPath, iconPath;
    std::string linkUrl1, linkName1, linkUrl2, linkName2;

    int sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }
    void setColumnClickSorting(bool enabled) { m_columnClickSorting = enabled; }
    const Endpoints& endpoints() const { return m_endpoints; }
    const std::string& folder() const { return m_folder; }

    // Appends a Keyword row numbered count + 1 and shows "N items listed";
    // -1 (and nothing shown) when the list is full or memory ran out.
    int addKeywordRow(const std::string& keyword, const std::string& searches = {});
    // Writes sub-item column-1 of a row, then lets the row repaint at once.
    void setResult(int row, int column, const std::string& text);
    void setMainStatus(const std::string& text);

    // --- page fetching (GUI thread; handlers run re-entrantly inside it) ---
    // Fetches url into the download file and reads it back as page text.
    // False when stopped or failed (the status bar says which); failures
    // also set stopRequested so the running job ends.
    bool GetURL(const std::string& url, std::string& pageText);
    net::TNetHTTP& netHTTP() { return *NetHTTP1; }
    // Where the last page was downloaded.
    const std::string& downloadPath() const { return m_downloadPath; }
    bool jobRunning() const { return m_jobRunning; }

    // --- commands ---
    void btnGatherDataClick();
    void RunGatherData();
    void btnGatherKeywordClick();
    // Appends one Keyword row per row of the page's suggestion table.
    void ParseSuggestions(const std::string& pageText);
    void btnMainKeywordClick();
    void btnAddKeywordClick();
    void AddKeywordsFromFile(const std::string& path);
    void btnSaveResultsClick() { SaveResults(); }
    void SaveResults();
    void btnMakeMoneyClick();
    void skSkinButton1Click();  // Select All
    void skSkinButton2Click();  // Clear Selection
    void skSkinButton3Click();  // Delete Selected
    void skSkinButton4Click();  // Delete All
    void lvwItemsColumnClick(int column);
    void imgBannerClick();
    void gifBannerClick() { imgBannerClick(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildToolBar();
    void buildBannerPanel();
    void buildListPanel();
    void buildBottomPanel();
    void buildStatusBar();
    void FormCreate();
    void LoadBranding();
    void loadBanner(const std::string& storedFile);
    void applyLinks();
    void layoutPanels();
    void centreBanner();
    void showItemsListed();
    void setUpNetwork();
    std::unique_ptr<rtl::TFileStream> createDownloadFile();
    void NetHTTP1WorkBegin(net::TNetComponent& sender, net::TWorkMode mode, int64_t workCountMax);
    void NetHTTP1Work(net::TNetComponent& sender, net::TWorkMode mode, int64_t workCount);
    void NetHTTP1WorkEnd(net::TNetComponent& sender, net::TWorkMode mode);
    void disconnectClient();
    void stopGatherData();
    void finishJob();
    void GatherKeywords(std::string pageUrl, std::string page);
    std::string fetchedPageUrl(const std::string& requested) const;
    void closeKeywordDialogs();

    std::unique_ptr<net::TNetHTTP> NetHTTP1;
    std::unique_ptr<net::TNetAntiFreeze> NetAntiFreeze1;
    std::string m_downloadPath;
    bool m_jobRunning = false;
    bool m_closeAfterJob = false;
    TfrmCaptcha* m_captcha = nullptr;  // the open security-image dialog

    std::string m_folder;
    Endpoints m_endpoints;
    TskSkinMessage m_msgMain;
    TskSkinSaveDialog m_saveDialog;
    TKeywordListModel* m_model;
    int m_sortColumn = -1;
    bool m_sortAscending = true;
    bool m_columnClickSorting = true;

    QWidget* m_toolBar = nullptr;
    QPushButton* m_gatherDataButton = nullptr;
    QPushButton* m_gatherKeywordButton = nullptr;
    QFrame* m_panBanner = nullptr;
    TClickLabel* m_imgBanner = nullptr;
    banner::TGIFAnimator* m_gifBanner = nullptr;
    QWidget* m_listPanel = nullptr;
    QTreeView* m_list = nullptr;
    QFrame* m_bottomPanel = nullptr;
    TClickLabel* m_link1 = nullptr;
    TClickLabel* m_link2 = nullptr;
    QWidget* m_statusBar = nullptr;
    TStatusPanel* m_mainStatus = nullptr;
    TStatusPanel* m_keywordStatus = nullptr;
    TStatusPanel* m_secondStatus = nullptr;
    TMainGauge* m_gauge = nullptr;
};

}  // namespace app
