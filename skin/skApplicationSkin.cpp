#include "skin/skApplicationSkin.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>

#include "skin/skDefaultSkin.h"
#include "skin/skSkinData.h"
#include "skin/skSkinEvents.h"
#include "skin/skStyle.h"

namespace sk {

namespace {
QPointer<TskSkinStyle> g_style;
}  // namespace

TskSkinData& applicationSkinData() {
    static TskSkinData* data = new TskSkinData;  // never freed: the style may paint until exit
    return *data;
}

TskSkinStyle* applicationSkinStyle() { return g_style; }

void installApplicationSkin(QWidget* owner) {
    installSkinEvents();
    TskSkinData& data = applicationSkinData();
    if (!g_style) {
        g_style = new TskSkinStyle(&data);
        QApplication::setStyle(g_style);  // the application takes ownership
    }
    data.setOwnerWindow(owner);
    if (owner)
        QObject::connect(owner, &QObject::destroyed, [owner] {
            if (applicationSkinData().OwnerWindow() == owner) applicationSkinData().setOwnerWindow(nullptr);
        });
    data.setCompressedStoredSkin(&ModernStoredSkin());
}

}  // namespace sk
