#include "skin/skSkinEvents.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "skin/skSkinData.h"

namespace sk {

namespace {

void sendToWindows(TskSkinData& data, int message) {
    if (!qApp) return;
    // Taken before sending: a handler may open or close windows.
    std::vector<QPointer<QWidget>> windows;
    auto* owner = static_cast<QWidget*>(data.OwnerWindow());
    if (owner && owner->isWindow()) windows.emplace_back(owner);
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != owner && w->isWindow()) windows.emplace_back(w);
    for (const QPointer<QWidget>& w : windows) {
        if (!w) continue;
        TskSkinEvent event(message, &data);
        QApplication::sendEvent(w, &event);
    }
}

}  // namespace

bool TskSkinEvent::isSkinEvent(const QEvent* event) {
    const int t = event->type();
    return t == typeFor(kSkinChangeBegins) || t == typeFor(kSkinChanged) || t == typeFor(kSkinChangeComplete) ||
           t == typeFor(kResourceTextsChanged);
}

int TskSkinEvent::param() const { return kNotifyParam; }

void installSkinEvents() { setSkinNotifier(sendToWindows); }

}  // namespace sk
