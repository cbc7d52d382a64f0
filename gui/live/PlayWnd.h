#pragma once
// The render surface of one video window. The SDK hands it decoded pictures
// on its player thread; the surface copies each one and shows it on the GUI
// thread, either through the GPU (display mode 0, an OpenGL child widget,
// when OpenGL is available) or by painting the picture in software (mode 1).
// Mouse actions are posted to the owning video window with the window number.
#include <QImage>
#include <QWidget>
#include <atomic>
#include <mutex>

#include "core/sdk/KySdk.h"

class CPlayWnd : public QWidget, public KySdkSurface {
    Q_OBJECT
public:
    explicit CPlayWnd(int index, QWidget* parent = nullptr);
    ~CPlayWnd() override;

    int Index() const { return m_index; }

    // KySdkSurface, called on an SDK thread.
    void PresentFrame(const uint8_t* pixels, int width, int height, int stride, int mode) override;
    void StreamState(bool connected) override;
    bool ViewSize(int* width, int* height) const override;

    // Drops the picture and anything still queued from the SDK, and paints
    // black. Call after the SDK stopped sending to this surface.
    void Clear();

    // The picture shown now (null when none) and how it is shown.
    const QImage& Picture() const { return m_picture; }
    // Where the picture is painted: its own shape, centred, black around it.
    QRect PictureRect() const;
    int DisplayMode() const { return m_mode; }
    // True while mode-0 pictures go through the OpenGL child widget.
    bool GpuActive() const;
    // Pictures shown since the last Clear().
    qint64 FramesShown() const { return m_framesShown; }

    // Whether this process can render through OpenGL (checked once).
    static bool GpuAvailable();

signals:
    // On the GUI thread: the SDK lost the stream (false) or has it back (true).
    void streamStateChanged(bool connected);
    // On the GUI thread, after a new picture is shown.
    void frameShown();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void UpdatePictureGeometry();
    void TakeFrame();
    void ShowMode(int mode);
    void PostMouse(int message, QPoint pos, QPoint globalPos);

    const int m_index;
    QImage m_picture;
    int m_mode = 1;
    qint64 m_framesShown = 0;
    QWidget* m_gl = nullptr;   // the OpenGL view, made on first use

    // Shared with the SDK thread.
    mutable std::mutex m_mutex;
    QImage m_pending;
    int m_pendingMode = 0;
    unsigned m_pendingGeneration = 0;
    std::atomic<unsigned> m_generation{0};
    std::atomic<bool> m_takePosted{false};
    std::atomic<int> m_viewWidth{0};
    std::atomic<int> m_viewHeight{0};
};
