#include "banner/GIFAnimator.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace banner {

TGIFAnimator::TGIFAnimator(QWidget* parent) : QWidget(parent), m_image(std::make_unique<TGIFImage>()) {
    m_timer.setInterval(m_interval);
    connect(&m_timer, &QTimer::timeout, this, &TGIFAnimator::frameStep);
}

TGIFAnimator::~TGIFAnimator() = default;

int TGIFAnimator::frameInterval(const TGIFImage& image, int index) {
    if (image.frames().size() < 2 || index < 0 || static_cast<size_t>(index) >= image.frames().size()) return 0;
    return std::clamp(image.frames()[static_cast<size_t>(index)].delay, kMinInterval, kMaxInterval);
}

void TGIFAnimator::loadFromFile(const std::string& path) {
    TGIFImage image;
    image.loadFromFile(path);
    setImage(std::move(image));
}

void TGIFAnimator::loadFromStream(rtl::TStream& stream) {
    TGIFImage image;
    image.loadFromStream(stream);
    setImage(std::move(image));
}

void TGIFAnimator::setImage(TGIFImage image) {
    m_composer.reset();  // it refers to the image about to be replaced
    *m_image = std::move(image);
    imageChanged();
}

void TGIFAnimator::imageChanged() {
    m_composer = std::make_unique<TGIFComposer>(*m_image, palette().color(QPalette::Base).rgb());
    m_frameIndex = 0;
    setInterval(frameInterval(*m_image, 0));
    applyAutoSize();
    update();
    emit OnChange();
}

void TGIFAnimator::setInterval(int ms) {
    m_interval = ms;
    if (ms <= 0) {
        m_timer.stop();  // an interval of 0 never fires
        return;
    }
    m_timer.setInterval(ms);
    if (m_animate && !m_timer.isActive()) m_timer.start();
}

void TGIFAnimator::setAnimate(bool on) {
    if (on == m_animate) return;
    m_animate = on;
    if (on) {
        if (m_interval > 0) m_timer.start(m_interval);
        emit OnStart();
    } else {
        m_timer.stop();
        emit OnStop();
        update();
    }
}

void TGIFAnimator::setAutoSize(bool on) {
    m_autoSize = on;
    applyAutoSize();
}

void TGIFAnimator::applyAutoSize() {
    if (m_autoSize && !m_image->empty()) resize(m_image->width(), m_image->height());
}

void TGIFAnimator::setTransparent(bool on) {
    m_transparent = on;
    update();
}

void TGIFAnimator::setCenter(bool on) {
    m_center = on;
    update();
}

void TGIFAnimator::setStretch(bool on) {
    m_stretch = on;
    update();
}

void TGIFAnimator::setFrameIndex(int index) {
    if (index < 0 || static_cast<size_t>(index) >= m_image->frames().size() || index == m_frameIndex) return;
    m_frameIndex = index;
    update();
    setInterval(frameInterval(*m_image, index));
}

void TGIFAnimator::frameStep() {
    if (!isVisible() || !parentWidget() || m_image->frames().size() < 2) return;
    m_frameIndex = (static_cast<size_t>(m_frameIndex) + 1 < m_image->frames().size()) ? m_frameIndex + 1 : 0;
    emit OnFrameChanged();
    update();
    setInterval(frameInterval(*m_image, m_frameIndex));
    if (!m_loop && m_frameIndex == 0) setAnimate(false);
}

QImage TGIFAnimator::currentFrame() {
    if (m_image->empty() || m_image->width() == 0 || m_image->height() == 0) return {};
    const std::vector<uint32_t>& bitmap = m_composer->compose(static_cast<size_t>(m_frameIndex));
    // Wraps the composer's bitmap: valid until the next compose.
    return QImage(reinterpret_cast<const uchar*>(bitmap.data()), m_image->width(), m_image->height(),
                  m_image->width() * 4, QImage::Format_ARGB32);
}

void TGIFAnimator::paintEvent(QPaintEvent*) {
    QImage frame = currentFrame();
    if (frame.isNull()) return;  // the parent's background shows through
    if (!m_transparent) frame = frame.convertToFormat(QImage::Format_RGB32);
    QPainter painter(this);
    if (m_stretch)
        painter.drawImage(rect(), frame);
    else if (m_center)
        painter.drawImage((width() - frame.width()) / 2, (height() - frame.height()) / 2, frame);
    else
        painter.drawImage(0, 0, frame);
}

void TGIFAnimator::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit OnClick();
}

}  // namespace banner
