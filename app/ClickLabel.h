#pragma once
// A label that reports clicks: footer links and the still banner.
// GUI thread only.

#include <QLabel>
#include <string>

namespace app {

class TClickLabel : public QLabel {
    Q_OBJECT
public:
    explicit TClickLabel(QWidget* parent = nullptr) : QLabel(parent) {}
    // The URL the label leads to (bytes as configured).
    const std::string& url() const { return m_url; }
    void setUrl(const std::string& url) { m_url = url; }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::string m_url;
};

}  // namespace app
