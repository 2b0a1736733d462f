#pragma once
// The skin change notifications (1225, 1226, 1227, 1274) as Qt events, sent
// synchronously to every top-level window: the skin data's owner first when
// it is a window, then every other one. GUI thread only.

#include <QEvent>

namespace sk {

class TskSkinData;

class TskSkinEvent : public QEvent {
public:
    TskSkinEvent(int message, TskSkinData* data) : QEvent(typeFor(message)), m_message(message), m_data(data) {}
    // QEvent::User + message: 2225, 2226, 2227, 2274.
    static QEvent::Type typeFor(int message) { return static_cast<QEvent::Type>(QEvent::User + message); }
    static bool isSkinEvent(const QEvent* event);
    int message() const { return m_message; }
    TskSkinData* skinData() const { return m_data; }
    int param() const;  // always 1000

private:
    int m_message;
    TskSkinData* m_data;
};

// Registers the Qt notifier with the skin reader; harmless to call again.
void installSkinEvents();

}  // namespace sk
