#include "app/FMain.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <chrono>
#include <new>
#include <random>

#include "app/Application.h"
#include "app/Branding.h"
#include "app/ClickLabel.h"
#include "app/CsvExport.h"
#include "app/ReplacingFile.h"
#include "app/DialogHelpers.h"
#include "app/FAddKeywords.h"
#include "app/FMainKeyword.h"
#include "app/KeywordFile.h"
#include "app/KeywordListModel.h"
#include "app/MainGauge.h"
#include "app/StatusPanel.h"
#include "banner/GIFAnimator.h"
#include "net/NetAntiFreeze.h"
#include "net/NetHTTP.h"
#include "platform/ExecutableFolder.h"
#include "platform/OpenURLInBrowser.h"
#include "platform/PictureLoader.h"
#include "platform/Shell.h"
#include "skin/skApplicationSkin.h"
#include "skin/skSkinData.h"

namespace app {

namespace {

constexpr int kClientWidth = 644;
constexpr int kClientHeight = 455;
constexpr int kToolBarHeight = 33;
constexpr int kBannerDesignHeight = 65;
constexpr int kBottomPanelHeight = 54;
constexpr int kStatusBarHeight = 17;
constexpr int kKeywordPanelWidth = 160;
constexpr int kCountPanelWidth = 82;
constexpr int kGaugeWidth = 130;

bool fileExists(const std::string& path) { return QFileInfo(QString::fromLocal8Bit(path)).isFile(); }

// Draws the list's grid lines under each cell.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->restore();
    }
};

TStatusPanel* statusPanel(QWidget* parent, const char* name, const QString& text) {
    auto* panel = new TStatusPanel(parent);
    panel->setObjectName(name);
    panel->setText(text);
    return panel;
}

TClickLabel* linkLabel(QWidget* parent, const char* name) {
    auto* label = new TClickLabel(parent);
    label->setObjectName(name);
    label->setText("Google");
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

}  // namespace

TfrmMain::TfrmMain(const std::string& folder, QWidget* parent)
    : QWidget(parent), m_folder(folder), m_endpoints(Endpoints::load(folder)),
      m_saveDialog("skSkinSaveDialog1", "Save file", "CSV files (*.csv)", "csv"),
      m_model(new TKeywordListModel(this)) {
    setObjectName("frmMain");
    setWindowTitle("Tessaly");
    m_saveDialog.setInitialDir(QString::fromLocal8Bit(folder));
    buildToolBar();
    buildBannerPanel();
    buildListPanel();
    buildBottomPanel();
    buildStatusBar();
    resize(kClientWidth, kClientHeight);
    setUpNetwork();
    sk::installApplicationSkin(this);  // the stored skin Modern.skn, before the brand's files
    FormCreate();
    layoutPanels();
    fixClientSizeCentred(this, kClientWidth, kClientHeight);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

TfrmMain::~TfrmMain() = default;  // defined here, where the network classes are complete

void TfrmMain::buildToolBar() {
    m_toolBar = new QWidget(this);
    m_toolBar->setObjectName("skSkinPanel1");
    struct ToolButton { const char* name; const char* caption; int left; int width; void (TfrmMain::*command)(); };
    const ToolButton buttons[] = {
        {"btnMainKeyword", "Main Keyword", 7, 99, &TfrmMain::btnMainKeywordClick},
        {"btnGatherKeyword", "Gather Keywords", 109, 98, &TfrmMain::btnGatherKeywordClick},
        {"btnAddKeyword", "Add Keywords", 210, 99, &TfrmMain::btnAddKeywordClick},
        {"btnGatherData", "Gather Data", 312, 98, &TfrmMain::btnGatherDataClick},
        {"btnSaveResults", "Save Results", 414, 98, &TfrmMain::btnSaveResultsClick},
        {"btnMakeMoney", "Make Money", 516, 98, &TfrmMain::btnMakeMoneyClick},
    };
    for (const auto& b : buttons) {
        auto* button = placeButton(m_toolBar, b.name, b.caption, b.left, 7, b.width, 20);
        button->setCursor(Qt::PointingHandCursor);
        if (b.command) connect(button, &QPushButton::clicked, this, b.command);
    }
    m_gatherDataButton = m_toolBar->findChild<QPushButton*>("btnGatherData");
    m_gatherKeywordButton = m_toolBar->findChild<QPushButton*>("btnGatherKeyword");
}

void TfrmMain::buildBannerPanel() {
    m_panBanner = new QFrame(this);
    m_panBanner->setObjectName("panBanner");
    m_panBanner->setFrameShape(QFrame::StyledPanel);
    m_imgBanner = new TClickLabel(m_panBanner);
    m_imgBanner->setObjectName("imgBanner");
    m_gifBanner = new banner::TGIFAnimator(m_panBanner);
    m_gifBanner->setObjectName("gifBanner");
    m_gifBanner->setAnimate(true);
    m_gifBanner->hide();
    connect(m_imgBanner, &TClickLabel::clicked, this, &TfrmMain::imgBannerClick);
    connect(m_gifBanner, &banner::TGIFAnimator::OnClick, this, &TfrmMain::gifBannerClick);
}

void TfrmMain::buildListPanel() {
    m_listPanel = new QWidget(this);
    m_listPanel->setObjectName("skSkinPanel3");
    m_list = new QTreeView(m_listPanel);
    m_list->setObjectName("lvwItems");
    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);  // keeps a million rows cheap to scroll
    m_list->setWordWrap(false);          // every cell on one line, elided
    m_list->setTextElideMode(Qt::ElideRight);
    m_list->setSortingEnabled(false);
    m_list->setItemDelegate(new GridLineDelegate(m_list));
    m_list->setFont(QFont("Arial"));
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QHeaderView* header = m_list->header();
    header->setSectionsClickable(true);
    header->setStretchLastSection(false);
    for (int c = 0; c < kColumnCount; ++c) header->resizeSection(c, TKeywordListModel::columnWidth(c));
    connect(header, &QHeaderView::sectionClicked, this, &TfrmMain::lvwItemsColumnClick);
}

void TfrmMain::buildBottomPanel() {
    m_bottomPanel = new QFrame(this);
    m_bottomPanel->setObjectName("skSkinPanel4");
    m_bottomPanel->setFrameShape(QFrame::StyledPanel);
    struct ListButton { const char* name; const char* caption; int left; int width; void (TfrmMain::*command)(); };
    const ListButton buttons[] = {
        {"skSkinButton1", "Select All", 9, 100, &TfrmMain::skSkinButton1Click},
        {"skSkinButton2", "Clear Selection", 112, 100, &TfrmMain::skSkinButton2Click},
        {"skSkinButton3", "Delete Selected", 215, 100, &TfrmMain::skSkinButton3Click},
        {"skSkinButton4", "Delete All", 319, 99, &TfrmMain::skSkinButton4Click},
    };
    for (const auto& b : buttons) {
        auto* button = placeButton(m_bottomPanel, b.name, b.caption, b.left, 7, b.width, 20);
        connect(button, &QPushButton::clicked, this, b.command);
    }
    m_link1 = linkLabel(m_bottomPanel, "lblLink1URL");
    m_link2 = linkLabel(m_bottomPanel, "lblLink2URL");
    m_link2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(m_link1, &TClickLabel::clicked, this, [this] { platform::shellOpenUrl(m_link1->url()); });
    connect(m_link2, &TClickLabel::clicked, this, [this] { platform::shellOpenUrl(m_link2->url()); });
}

void TfrmMain::buildStatusBar() {
    m_statusBar = new QWidget(this);
    m_statusBar->setObjectName("skSkinStatusBar1");
    m_mainStatus = statusPanel(m_statusBar, "MainStatusPanel", "");
    m_keywordStatus = statusPanel(m_statusBar, "skSkinStatusPanel1", "Main Keyword: ");
    m_secondStatus = statusPanel(m_statusBar, "SecondStatusPanel", "0 item listed");
    m_gauge = new TMainGauge(m_statusBar);
    m_gauge->setObjectName("MainGauge");
}

void TfrmMain::layoutPanels() {
    const int w = width(), h = height();
    m_toolBar->setGeometry(0, 0, w, kToolBarHeight);
    int top = kToolBarHeight;
    if (!m_panBanner->isHidden()) {
        m_panBanner->setGeometry(0, top, w, m_panBanner->height());
        top += m_panBanner->height();
    }
    const int statusTop = h - kStatusBarHeight;
    const int bottomTop = statusTop - kBottomPanelHeight;
    m_listPanel->setGeometry(0, top, w, std::max(0, bottomTop - top));
    m_list->setGeometry(0, 0, m_listPanel->width(), m_listPanel->height());
    m_bottomPanel->setGeometry(0, bottomTop, w, kBottomPanelHeight);
    m_link1->setGeometry(13, 32, std::max(0, w / 2 - 13), 16);
    m_link2->setGeometry(w / 2, 32, std::max(0, w / 2 - 13), 16);
    m_statusBar->setGeometry(0, statusTop, w, kStatusBarHeight);
    const int mainWidth = std::max(0, w - kKeywordPanelWidth - kCountPanelWidth - kGaugeWidth);
    m_mainStatus->setGeometry(0, 0, mainWidth, kStatusBarHeight);
    m_keywordStatus->setGeometry(mainWidth, 0, kKeywordPanelWidth, kStatusBarHeight);
    m_secondStatus->setGeometry(mainWidth + kKeywordPanelWidth, 0, kCountPanelWidth, kStatusBarHeight);
    m_gauge->setGeometry(mainWidth + kKeywordPanelWidth + kCountPanelWidth, 0, kGaugeWidth, kStatusBarHeight);
    centreBanner();
}

void TfrmMain::centreBanner() {
    for (QWidget* banner : {static_cast<QWidget*>(m_imgBanner), static_cast<QWidget*>(m_gifBanner)})
        banner->move(m_panBanner->width() / 2 - banner->width() / 2, m_panBanner->height() / 2 - banner->height() / 2);
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanels();  // FormResize
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    centreBanner();  // FormShow
}

// --- start-up and branding ---

void TfrmMain::FormCreate() {
    m_gifBanner->setGeometry(m_imgBanner->geometry());
    m_panBanner->resize(kClientWidth, kBannerDesignHeight);
    m_sortColumn = -1;
    m_sortAscending = true;
    LoadBranding();
}

void TfrmMain::LoadBranding() {
    const std::string configPath = m_folder + "dbconfig.dat";
    if (!fileExists(configPath)) return;
    std::mt19937 random(static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    const BrandingChoice choice = chooseBranding(rtl::TIniReader::fromFile(configPath), random);
    if (!choice.appName.empty()) {
        // The brand's name is the program's name for the user: the desktop would otherwise add " — Tessaly" to
        // the caption.
        QGuiApplication::setApplicationDisplayName(QString::fromLocal8Bit(choice.appName));
        setWindowTitle(QString::fromLocal8Bit(choice.appName));
    }
    affiliateId = choice.affiliateId;
    bannerUrl = choice.bannerUrl;
    bannerPath = choice.bannerPath;
    if (!bannerUrl.empty()) {
        m_imgBanner->setCursor(Qt::PointingHandCursor);
        m_gifBanner->setCursor(Qt::PointingHandCursor);
    }
    const std::string storedFile = m_folder + "dbimg" + std::to_string(choice.bannerNumber) + ".dat";
    if (bannerPath.empty() || !fileExists(storedFile)) {
        m_panBanner->hide();
    } else {
        // A broken banner is reported, but the brand's links and icon still apply.
        try {
            loadBanner(storedFile);
        } catch (...) {
            reportUnhandledException(std::current_exception());
        }
    }
    linkUrl1 = choice.linkUrl1;
    linkName1 = choice.linkName1;
    linkUrl2 = choice.linkUrl2;
    linkName2 = choice.linkName2;
    applyLinks();
    // A brand's skin replaces the stored one; a corrupt one is reported and leaves windows unskinned.
    const std::string skinFile = m_folder + "dbskin.dat";
    if (fileExists(skinFile)) {
        try {
            sk::applicationSkinData().ApplyCompressedSkinFile(skinFile);
        } catch (...) {
            reportUnhandledException(std::current_exception());
        }
    }
    iconPath = choice.iconPath;
    const std::string iconFile = m_folder + platform::fileNamePart(iconPath);
    if (!iconPath.empty() && fileExists(iconFile)) {
        const QIcon icon(QString::fromLocal8Bit(iconFile));
        QApplication::setWindowIcon(icon);
        setWindowIcon(icon);
    }
}

void TfrmMain::loadBanner(const std::string& storedFile) {
    // The stored file is read in place in the format its configured name
    // names; nothing in the (possibly read-only) program folder is renamed.
    if (bannerIsGif(bannerPath)) {
        m_gifBanner->show();
        m_imgBanner->hide();
        m_gifBanner->loadFromFile(storedFile);  // sizes itself to the logical screen
        m_panBanner->resize(m_panBanner->width(), m_gifBanner->height() + 10);
        return;
    }
    const QImage picture = platform::loadPicture(storedFile, bannerExtension(bannerPath));
    m_gifBanner->hide();
    m_imgBanner->show();
    m_imgBanner->setPixmap(QPixmap::fromImage(picture));
    m_imgBanner->resize(picture.size());
    m_panBanner->resize(m_panBanner->width(), m_imgBanner->height() + 10);
}

void TfrmMain::applyLinks() {
    m_link1->setText(QString::fromLocal8Bit(linkName1));
    m_link1->setUrl(linkUrl1);
    m_link2->setText(QString::fromLocal8Bit(linkName2));
    m_link2->setUrl(linkUrl2);
}

void TfrmMain::imgBannerClick() {
    if (!bannerUrl.empty()) platform::OpenURLInBrowser(bannerUrl);
}

void TfrmMain::btnMakeMoneyClick() { platform::OpenURLInBrowser(m_endpoints.promotion + affiliateId); }

// --- rows and status texts ---

void TfrmMain::showItemsListed() {
    m_secondStatus->setText(QString::number(m_model->count()) + " items listed");
}

void TfrmMain::setMainStatus(const std::string& text) { m_mainStatus->setText(QString::fromLocal8Bit(text)); }

int TfrmMain::addKeywordRow(const std::string& keyword, const std::string& searches) {
    const int index = m_model->addRow(keyword, searches);
    if (index >= 0) showItemsListed();
    return index;
}

void TfrmMain::setResult(int row, int column, const std::string& text) {
    m_model->setCell(row, column, text);
    QCoreApplication::processEvents();
}

// --- commands ---

void TfrmMain::btnMainKeywordClick() {
    TfrmMainKeyword dialog(m_msgMain, this);
    if (dialog.exec() != QDialog::Accepted) return;
    mainKeyword = dialog.mainKeyword().toLocal8Bit().toStdString();
    m_keywordStatus->setText("Main Keyword: " + QString::fromLocal8Bit(mainKeyword));
    setMainStatus("");
}

void TfrmMain::btnAddKeywordClick() {
    TfrmAddKeywords dialog(m_msgMain, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!dialog.keyword().isEmpty()) {
        if (addKeywordRow(dialog.keyword().toLocal8Bit().toStdString()) >= 0) return;
        if (static_cast<size_t>(m_model->count()) >= kMaxRows)
            m_msgMain.inform("The keyword would make the list longer than " + std::to_string(kMaxRows) +
                             " rows. It was not added.");
        else
            m_msgMain.inform("Not enough memory to add the keyword. It was not added.");
    } else
        AddKeywordsFromFile(dialog.listPath().toLocal8Bit().toStdString());
}

void TfrmMain::AddKeywordsFromFile(const std::string& path) {
    if (path.empty() || !fileExists(path)) return;
    // Read everything first: a file that fails half-way adds no rows. A file
    // that cannot be read at all goes to the error reporting.
    KeywordFileText file;
    AddRowsResult added = AddRowsResult::OutOfMemory;
    try {
        file = readKeywordFile(path);
        added = m_model->addKeywordLines(file.text);
    } catch (const EKeywordFileTooLarge&) {
        m_msgMain.inform("The keyword file " + path + " is larger than " + std::to_string(kMaxKeywordFileBytes >> 20) +
                         " MB. No keywords were added.");
        return;
    } catch (const std::bad_alloc&) {
    } catch (const rtl::EOutOfMemory&) {
    }
    if (added == AddRowsResult::OutOfMemory) {
        m_msgMain.inform("Not enough memory to add the keywords of " + path + ". No keywords were added.");
        return;
    }
    if (added == AddRowsResult::TooManyRows) {
        m_msgMain.inform("The keywords of " + path + " would make the list longer than " + std::to_string(kMaxRows) +
                         " rows. No keywords were added.");
        return;
    }
    if (file.lines > 0) m_secondStatus->setText("Total: " + QString::number(m_model->count()));
    if (file.endsAtNul)
        m_msgMain.inform("The keyword file ends at a NUL byte after line " + std::to_string(file.lines) + ".");
}

void TfrmMain::skSkinButton1Click() { m_model->setAllChecked(true); }

void TfrmMain::skSkinButton2Click() { m_model->setAllChecked(false); }

void TfrmMain::skSkinButton3Click() {
    if (m_msgMain.ask("Are you sure do you want to delete the selected keywords?") == mrOK) m_model->deleteChecked();
    showItemsListed();
}

void TfrmMain::skSkinButton4Click() {
    if (m_msgMain.ask("Are you sure do you want to delete all?") == mrOK) m_model->clear();
    showItemsListed();
}

void TfrmMain::lvwItemsColumnClick(int column) {
    if (!m_columnClickSorting) return;
    const int previousColumn = m_sortColumn;
    const bool previousAscending = m_sortAscending;
    if (column == m_sortColumn)
        m_sortAscending = !m_sortAscending;
    else
        m_sortColumn = column;
    try {
        m_model->sortByColumn(column, m_sortAscending);
    } catch (const std::bad_alloc&) {
        m_sortColumn = previousColumn;
        m_sortAscending = previousAscending;
        m_msgMain.inform("Not enough memory to sort the list. It keeps its order.");
    }
}

void TfrmMain::SaveResults() {
    if (m_model->count() == 0) {
        m_msgMain.inform("You don't have any data to save.");
        return;
    }
    if (!m_saveDialog.Execute(this)) return;
    const std::string path = m_saveDialog.FileName().toLocal8Bit().toStdString();
    std::vector<std::string> captions;
    for (int c = 0; c < kColumnCount; ++c) captions.emplace_back(TKeywordListModel::columnCaption(c));
    try {
        writeCsv(path, captions, m_model->rows());
    } catch (const ESaveError& e) {
        m_msgMain.inform("Could not save the results to " + path + ": " + e.message());
    }
}

}  // namespace app
