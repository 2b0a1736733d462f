#pragma once
// TGIFAnimator: a windowless control that shows a GIF picture, sized to its
// logical screen, stepping through the frames on a timer and painting with
// transparency over its parent. Frame steps, composition and painting all
// run on the GUI thread (a QTimer drives them). GUI thread only.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <string>

#include "banner/GIFComposer.h"
#include "banner/GIFImage.h"

namespace banner {

class TGIFAnimator : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY(TGIFAnimator)
    Q_PROPERTY(bool Animate READ animate WRITE setAnimate)
    Q_PROPERTY(bool AutoSize READ autoSize WRITE setAutoSize)
    Q_PROPERTY(bool Loop READ loop WRITE setLoop)
    Q_PROPERTY(bool Transparent READ transparent WRITE setTransparent)
    Q_PROPERTY(bool Center READ center WRITE setCenter)
    Q_PROPERTY(bool Stretch READ stretch WRITE setStretch)
    Q_PROPERTY(int FrameIndex READ frameIndex WRITE setFrameIndex)
    Q_PROPERTY(bool AsyncDrawing READ asyncDrawing WRITE setAsyncDrawing)

public:
    // Shortest and longest time a frame stays on screen.
    static constexpr int kMinInterval = 50;
    static constexpr int kMaxInterval = 10000;

    explicit TGIFAnimator(QWidget* parent = nullptr);
    ~TGIFAnimator() override;

    // The picture shown; owned by the control.
    const TGIFImage& image() const { return *m_image; }
    // Decode a whole file or stream and show it. On failure the previous
    // picture stays and EGIFDecodeError / rtl::EReadError / EFOpenError is raised.
    void loadFromFile(const std::string& path);
    void loadFromStream(rtl::TStream& stream);
    void setImage(TGIFImage image);

    bool animate() const { return m_animate; }
    void setAnimate(bool on);
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);
    bool loop() const { return m_loop; }
    void setLoop(bool on) { m_loop = on; }
    bool transparent() const { return m_transparent; }
    void setTransparent(bool on);
    bool center() const { return m_center; }
    void setCenter(bool on);
    bool stretch() const { return m_stretch; }
    void setStretch(bool on);
    int frameIndex() const { return m_frameIndex; }
    // Ignored when out of range or unchanged.
    void setFrameIndex(int index);
    // Kept for layouts that set it; drawing stays on the GUI thread either way.
    bool asyncDrawing() const { return m_asyncDrawing; }
    void setAsyncDrawing(bool on) { m_asyncDrawing = on; }

    // The frame timer's interval in ms; 0 when nothing animates.
    int interval() const { return m_interval; }
    bool timerRunning() const { return m_timer.isActive(); }
    // The composed current frame as drawn (ARGB; alpha 0 where transparent).
    QImage currentFrame();
    // How often a frame was composed from scratch rather than from the one before.
    size_t rebuilds() const { return m_composer ? m_composer->rebuilds() : 0; }

    // Interval for frame index of image: its delay within the bounds above;
    // 0 for a picture of fewer than two frames.
    static int frameInterval(const TGIFImage& image, int index);

signals:
    void OnChange();
    void OnFrameChanged();
    void OnStart();
    void OnStop();
    void OnClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void imageChanged();
    void frameStep();
    void setInterval(int ms);
    void applyAutoSize();

    std::unique_ptr<TGIFImage> m_image;
    std::unique_ptr<TGIFComposer> m_composer;
    QTimer m_timer;
    int m_interval = 1000;
    bool m_animate = false;
    bool m_autoSize = true;
    bool m_loop = true;
    bool m_transparent = true;
    bool m_center = false;
    bool m_stretch = false;
    bool m_asyncDrawing = false;
    int m_frameIndex = 0;
};

}  // namespace banner
