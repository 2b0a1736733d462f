#include "skin/skStyle.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTreeView>

#include "GuiTestSupport.h"
#include "app/FMain.h"
#include "app/StatusPanel.h"
#include "app/MainGauge.h"
#include "rtl/Exception.h"
#include "skin/skApplicationSkin.h"
#include "skin/skDefaultSkin.h"
#include "skin/skSkinData.h"
#include "skin/skPackage.h"
#include "SkinTestFiles.h"

using namespace sk;

namespace {

// The application skin and style, with the stored default skin applied.
const TskSkinData& modern() {
    testsupport::ensureApp();
    installApplicationSkin(nullptr);
    return applicationSkinData();
}

QColor pictureColour(const TskBitmap& b, int x, int y) { return QColor::fromRgba(b.pixel(x, y)); }

// The opaque pixels of a corner of the skin rectangle r must show at the same
// place in the grabbed widget; the corners are kept, never scaled.
int compareCorners(const QImage& shot, const TskBitmap& picture, const TskRect& r, int corner) {
    int compared = 0;
    for (int dy = 0; dy < corner; ++dy)
        for (int dx = 0; dx < corner; ++dx) {
            const struct {
                int px, py, wx, wy;
            } places[] = {{r.left + dx, r.top + dy, dx, dy},
                          {r.right - 1 - dx, r.top + dy, shot.width() - 1 - dx, dy},
                          {r.left + dx, r.bottom - 1 - dy, dx, shot.height() - 1 - dy},
                          {r.right - 1 - dx, r.bottom - 1 - dy, shot.width() - 1 - dx, shot.height() - 1 - dy}};
            for (const auto& p : places) {
                const QColor want = pictureColour(picture, p.px, p.py);
                if (want.alpha() != 255) continue;
                EXPECT_EQ(shot.pixelColor(p.wx, p.wy).rgb(), want.rgb())
                    << "picture " << p.px << "," << p.py << " widget " << p.wx << "," << p.wy;
                ++compared;
            }
        }
    return compared;
}

QImage render(QWidget& w) {
    w.ensurePolished();
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(SkinStyle, TheDefaultSkinHasTheEntriesTheProgramAsksFor) {
    const TskSkinData& skin = modern();
    ASSERT_FALSE(skin.Empty());
    EXPECT_EQ(ModernStoredSkin().FileName, "Modern.skn");
    for (const char* name : {"button", "panel", "stdlabel", "edit", "checkradio", "listview", "statusbar",
                             "statuspanel", "statusgauge", "scrollbar", "hscrollbar", "vscrollbar", "combobox",
                             "toolcombobox"})
        EXPECT_GE(skin.FindControlEntry(name), 0) << name;
    for (const char* name : {"caption", "closebutton", "minbutton", "maxbutton"})
        EXPECT_GE(skin.FindObjectEntry(name), 0) << name;
    EXPECT_TRUE(skin.control<TskDataSkinButtonControl>("button"));
    EXPECT_TRUE(skin.control<TskDataSkinScrollBarControl>("hscrollbar"));
    EXPECT_TRUE(skin.control<TskDataSkinGaugeControl>("statusgauge"));
    EXPECT_EQ(skin.Picture.width, 138);
    EXPECT_EQ(skin.Mask.height, 92);
    // Every rectangle an entry draws from lies inside its picture.
    for (const auto& e : skin.ControlList()) {
        const TskBitmap* picture = skin.ActivePicture(e->PictureIndex);
        if (!picture) continue;
        EXPECT_LE(e->SkinRect.right, picture->width) << e->IDName;
        EXPECT_LE(e->SkinRect.bottom, picture->height) << e->IDName;
    }
}

TEST(SkinStyle, ButtonCornersOnScreenAreThePictureRectanglesCorners) {
    const TskSkinData& skin = modern();
    const auto* entry = skin.control<TskDataSkinButtonControl>("button");
    ASSERT_TRUE(entry);
    const TskBitmap& picture = skin.ActivePictures.at(size_t(entry->PictureIndex));

    QPushButton button("Gather");
    button.resize(97, 31);  // wider and taller than the 60 x 23 rectangle: sides stretch, corners stay
    button.setFocusPolicy(Qt::NoFocus);
    EXPECT_GT(compareCorners(render(button), picture, entry->SkinRect, 4), 20);
    // The middle takes the rectangle's middle colour.
    EXPECT_EQ(render(button).pixelColor(10, 15).rgb(), pictureColour(picture, 30, 11).rgb());

    button.setEnabled(false);
    EXPECT_GT(compareCorners(render(button), picture, entry->DisabledSkinRect, 4), 20);
    button.setEnabled(true);
    button.setDown(true);
    EXPECT_GT(compareCorners(render(button), picture, entry->DownSkinRect, 4), 20);

    // Hover and focus, drawn through the style the way the button does.
    for (const auto& [state, rect] : {std::pair{QStyle::State_MouseOver, entry->ActiveSkinRect},
                                      std::pair{QStyle::State_HasFocus, entry->FocusedSkinRect}}) {
        QImage image(80, 30, QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        QStyleOptionButton option;
        option.rect = image.rect();
        option.state = QStyle::State_Enabled | QStyle::State_Raised | state;
        QPushButton probe;
        QApplication::style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, &probe);
        painter.end();
        EXPECT_GT(compareCorners(image, picture, rect, 4), 20);
    }
}

TEST(SkinStyle, ControlsDrawFromTheirEntriesAndFallBackWithout) {
    const TskSkinData& skin = modern();
    const TskBitmap& picture = skin.ActivePictures.at(0);

    QLineEdit edit;
    edit.resize(120, 24);
    const auto* editEntry = skin.control<TskDataSkinEditControl>("edit");
    EXPECT_GT(compareCorners(render(edit), picture, editEntry->SkinRect, 3), 10);

    app::TStatusPanel panel;
    panel.resize(90, 17);
    const auto* panelEntry = skin.control<TskDataSkinPanelControl>("statuspanel");
    EXPECT_GT(compareCorners(render(panel), picture, panelEntry->SkinRect, 2), 8);

    // The gauge: trough corners, and the filled part in the accent colour.
    app::TMainGauge gauge;
    gauge.resize(130, 17);
    gauge.setMaxValue(100);
    const auto* gaugeEntry = skin.control<TskDataSkinGaugeControl>("statusgauge");
    EXPECT_GT(compareCorners(render(gauge), picture, gaugeEntry->SkinRect, 3), 10);
    gauge.setValue(50);
    const QImage gaugeShot = render(gauge);
    EXPECT_EQ(gaugeShot.pixelColor(20, 8).rgb(),
              pictureColour(picture, gaugeEntry->ProgressRect.left + 20, gaugeEntry->ProgressRect.top + 8).rgb());
    EXPECT_EQ(gaugeShot.pixelColor(120, 8).rgb(), pictureColour(picture, 180, 30).rgb());  // the empty trough

    // A scroll bar: its thumb is drawn from the thumb rectangle.
    QScrollBar bar(Qt::Vertical);
    bar.setRange(0, 100);
    bar.setPageStep(50);
    bar.resize(bar.sizeHint().width(), 200);
    const auto* barEntry = skin.control<TskDataSkinScrollBarControl>("vscrollbar");
    EXPECT_EQ(bar.sizeHint().width(), barEntry->SkinRect.width());
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = Qt::Vertical;
    option.minimum = 0;
    option.maximum = 100;
    option.pageStep = 50;
    option.rect = bar.rect();
    const QRect thumb = bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar);
    const QImage barShot = render(bar);
    EXPECT_EQ(barShot.pixelColor(thumb.center()).rgb(),
              pictureColour(picture, (barEntry->ThumbRect.left + barEntry->ThumbRect.right) / 2, 20).rgb());

    // A check box's indicator is the checked picture.
    QCheckBox check;
    check.setChecked(true);
    check.resize(100, 20);
    const auto* checkEntry = skin.control<TskDataSkinCheckRadioControl>("checkradio");
    QStyleOptionButton checkOption;
    checkOption.initFrom(&check);
    const QRect indicator = check.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &checkOption, &check);
    EXPECT_EQ(indicator.size(), QSize(16, 16));
    const QImage checkShot = render(check);
    EXPECT_EQ(checkShot.pixelColor(indicator.topLeft() + QPoint(8, 2)).rgb(),
              pictureColour(picture, checkEntry->CheckImageRect.left + 8, checkEntry->CheckImageRect.top + 2).rgb());

    // A widget naming an entry the skin lacks draws as plain Fusion does.
    QPushButton plain("x"), fusion("x");
    plain.resize(60, 24);
    fusion.resize(60, 24);
    plain.setProperty("skinDataName", "nosuchentry");
    std::unique_ptr<QStyle> fusionStyle(QStyleFactory::create("Fusion"));
    fusion.setStyle(fusionStyle.get());
    fusion.setPalette(plain.palette());
    EXPECT_EQ(render(plain), render(fusion));
}

TEST(SkinStyle, MainWindowTakesTheSkinAndABrandsSkinFileReplacesIt) {
    testsupport::ensureApp();
    std::vector<std::string> reports;
    auto previous = app::setExceptionReporter([&](std::exception_ptr e) { reports.push_back(app::describeException(e)); });
    {
        QTemporaryDir dir;
        app::TfrmMain window(testsupport::folderOf(dir));
        EXPECT_EQ(applicationSkinData().OwnerWindow(), &window);
        EXPECT_FALSE(applicationSkinData().Empty());
        EXPECT_GE(applicationSkinData().FindControlEntry("statusgauge"), 0);
        EXPECT_TRUE(qobject_cast<TskSkinStyle*>(window.style()));
    }
    EXPECT_EQ(applicationSkinData().OwnerWindow(), nullptr);  // cleared with its owner
    {
        // A brand's skin with a 23-pixel button of its own.
        QTemporaryDir dir;
        const std::string folder = testsupport::folderOf(dir);
        testsupport::writeFile(folder + "dbconfig.dat", "[Settings]\nAppName=Brand\n");
        std::vector<uint8_t> package;
        skintest::putU32(package, 3);
        package.insert(package.end(), {1, 1, 1, 0, 0, 0, 0});
        const std::string text = "[SKINCONTROLS]\ncount=1\n0=button:button\n[button]\nskinrect=0,0,50,23\n";
        package.insert(package.end(), text.begin(), text.end());
        const std::vector<uint8_t> file = buildContainer(deflatePackage(package));
        testsupport::writeFile(folder + "dbskin.dat", std::string(file.begin(), file.end()));
        app::TfrmMain window(folder);
        EXPECT_EQ(applicationSkinData().ControlList().size(), 1u);
        EXPECT_EQ(window.msgMain().buttonHeight(), 23);
        EXPECT_TRUE(reports.empty());
    }
    {
        // A corrupt one: reported, windows unskinned, the window still opens.
        QTemporaryDir dir;
        const std::string folder = testsupport::folderOf(dir);
        testsupport::writeFile(folder + "dbconfig.dat", "[Settings]\nAppName=Brand\n");
        testsupport::writeFile(folder + "dbskin.dat", std::string("\3\0\0\0\4\0\0\0junk", 12));
        app::TfrmMain window(folder);
        EXPECT_TRUE(applicationSkinData().Empty());
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("Decompression error"), std::string::npos) << reports[0];
        EXPECT_EQ(window.windowTitle(), "Brand");
        EXPECT_EQ(window.msgMain().buttonHeight(), 25);
    }
    app::setExceptionReporter(previous);
}
