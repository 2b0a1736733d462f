#include "skin/skSkinEvents.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <memory>

#include "GuiTestSupport.h"
#include "SkinTestFiles.h"
#include "skin/skPackage.h"
#include "skin/skSkinData.h"

using namespace sk;

namespace {

struct Heard {
    QString window;
    int message;
    int param;
    TskSkinData* data;
};

// Records the skin events that reach the windows it watches, in arrival order.
class Recorder : public QObject {
public:
    std::vector<Heard> heard;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (TskSkinEvent::isSkinEvent(event)) {
            const auto* e = static_cast<TskSkinEvent*>(event);
            EXPECT_EQ(int(event->type()), QEvent::User + e->message());
            heard.push_back({watched->objectName(), e->message(), e->param(), e->skinData()});
        }
        return false;
    }
};

TskCompressedStoredSkin smallSkin() {
    std::vector<uint8_t> package;
    skintest::putU32(package, 3);
    package.insert(package.end(), {1, 1, 1, 0, 0, 0, 0});
    const std::string text = "[SKINCONTROLS]\ncount=1\n0=panel:panel\n";
    package.insert(package.end(), text.begin(), text.end());
    TskCompressedStoredSkin stored;
    stored.setCompressedData(deflatePackage(package));
    return stored;
}

}  // namespace

TEST(SkinEvents, EveryNotificationReachesEveryWindowOnceInOrderOwnerFirst) {
    testsupport::ensureApp();
    installSkinEvents();
    Recorder recorder;
    std::vector<std::unique_ptr<QWidget>> windows;
    for (const char* name : {"first", "owner", "hidden"}) {
        windows.push_back(std::make_unique<QWidget>());
        windows.back()->setObjectName(name);
        windows.back()->installEventFilter(&recorder);
    }
    windows[0]->show();
    windows[1]->show();  // "hidden" stays hidden: still a window of the application
    auto* child = new QWidget(windows[0].get());
    child->setObjectName("child");
    child->installEventFilter(&recorder);

    TskSkinData data;
    data.setOwnerWindow(windows[1].get());
    const TskCompressedStoredSkin stored = smallSkin();
    data.ApplyStoredSkin(stored);
    ASSERT_FALSE(data.Empty());

    std::vector<int> messages;
    std::map<QString, std::vector<int>> byWindow;
    for (const Heard& h : recorder.heard) {
        EXPECT_EQ(h.param, 1000);
        EXPECT_EQ(h.data, &data);
        byWindow[h.window].push_back(h.message);
        if (messages.empty() || messages.back() != h.message) messages.push_back(h.message);
    }
    const std::vector<int> order = {kSkinChangeBegins, kSkinChanged, kSkinChangeComplete};
    EXPECT_EQ(messages, order);  // every window hears one message before the next is sent
    EXPECT_EQ(byWindow["first"], order);
    EXPECT_EQ(byWindow["owner"], order);
    EXPECT_EQ(byWindow["hidden"], order);
    EXPECT_EQ(byWindow.count("child"), 0u);  // windows only
    ASSERT_EQ(recorder.heard.size(), 9u);
    for (size_t i = 0; i < 9; i += 3) EXPECT_EQ(recorder.heard[i].window, "owner");

    recorder.heard.clear();
    TskResourceStrData texts;
    data.setResourceStrData(&texts);
    ASSERT_EQ(recorder.heard.size(), 3u);
    for (const Heard& h : recorder.heard) EXPECT_EQ(h.message, kResourceTextsChanged);

    // A window closed by a handler is not sent to afterwards.
    recorder.heard.clear();
    class Closer : public QObject {
    public:
        std::unique_ptr<QWidget>* victim;
        bool eventFilter(QObject*, QEvent* event) override {
            if (TskSkinEvent::isSkinEvent(event)) victim->reset();
            return false;
        }
    } closer;
    closer.victim = &windows[2];
    windows[1]->installEventFilter(&closer);
    data.ApplyStoredSkin(stored);
    windows[1]->removeEventFilter(&closer);
    for (const Heard& h : recorder.heard) EXPECT_NE(h.window, "hidden");
    EXPECT_EQ(recorder.heard.size(), 6u);
    setSkinNotifier(nullptr);
}
