#include "gui/live/PlayWnd.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QPainter>
#include <cstring>

#include "gui/live/VideoEvents.h"

#ifdef QT_OPENGLWIDGETS_LIB
#include <QOpenGLWidget>

namespace {

// Mode 0: the picture is uploaded as a texture and drawn by the GPU
// (QPainter on an OpenGL widget uses the OpenGL paint engine).
class CGlView final : public QOpenGLWidget {
public:
    explicit CGlView(QWidget* parent) : QOpenGLWidget(parent) { setAttribute(Qt::WA_TransparentForMouseEvents); }
    void SetPicture(const QImage& picture) {
        m_picture = picture;
        update();
    }

protected:
    void paintGL() override {
        QPainter painter(this);
        if (m_picture.isNull())
            painter.fillRect(rect(), Qt::black);
        else
            painter.drawImage(rect(), m_picture);
    }

private:
    QImage m_picture;
};

}   // namespace
#endif

CPlayWnd::CPlayWnd(int index, QWidget* parent) : QWidget(parent), m_index(index) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);   // moves and leave notices for the region editors
    setFocusPolicy(Qt::NoFocus);
}

CPlayWnd::~CPlayWnd() = default;

bool CPlayWnd::GpuAvailable() {
#ifdef QT_OPENGLWIDGETS_LIB
    static const bool available = [] {
        QOpenGLContext context;
        if (!context.create()) return false;
        QOffscreenSurface surface;
        surface.setFormat(context.format());
        surface.create();
        if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
        context.doneCurrent();
        return true;
    }();
    return available;
#else
    return false;
#endif
}

bool CPlayWnd::GpuActive() const { return m_gl && !m_gl->isHidden(); }

void CPlayWnd::PresentFrame(const uint8_t* pixels, int width, int height, int stride, int mode) {
    if (!pixels || width <= 0 || height <= 0 || stride < width * 4) return;
    // The SDK reuses its buffer after the call: take a deep copy here.
    QImage copy = QImage(pixels, width, height, stride, QImage::Format_RGB32).copy();
    const unsigned generation = m_generation.load();
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(copy);
        m_pendingMode = mode;
        m_pendingGeneration = generation;
    }
    // One queued hand-over at a time; a picture that arrives meanwhile
    // replaces the pending one instead of piling up events.
    if (!m_takePosted.exchange(true))
        QMetaObject::invokeMethod(
            this, [this] { TakeFrame(); }, Qt::QueuedConnection);
}

void CPlayWnd::StreamState(bool connected) {
    const unsigned generation = m_generation.load();
    QMetaObject::invokeMethod(
        this,
        [this, generation, connected] {
            if (generation == m_generation.load()) emit streamStateChanged(connected);
        },
        Qt::QueuedConnection);
}

bool CPlayWnd::ViewSize(int* width, int* height) const {
    if (!width || !height) return false;
    *width = m_viewWidth.load();
    *height = m_viewHeight.load();
    return *width > 0 && *height > 0;
}

void CPlayWnd::TakeFrame() {
    m_takePosted.store(false);
    QImage picture;
    int mode;
    {
        std::lock_guard lock(m_mutex);
        // A picture sent before the last Clear() belongs to an ended play.
        if (m_pending.isNull() || m_pendingGeneration != m_generation.load()) return;
        picture.swap(m_pending);
        mode = m_pendingMode;
    }
    const QSize before = m_picture.size();
    m_picture = std::move(picture);
    if (m_picture.size() != before) UpdatePictureGeometry();
    ShowMode(mode);
#ifdef QT_OPENGLWIDGETS_LIB
    if (GpuActive()) static_cast<CGlView*>(m_gl)->SetPicture(m_picture);
#endif
    if (!GpuActive()) update();
    ++m_framesShown;
    emit frameShown();
}

void CPlayWnd::ShowMode(int mode) {
    m_mode = mode == 0 ? 0 : 1;
#ifdef QT_OPENGLWIDGETS_LIB
    if (m_mode == 0 && GpuAvailable()) {
        if (!m_gl) {
            m_gl = new CGlView(this);
            m_gl->setGeometry(PictureRect());
        }
        if (m_gl->isHidden()) m_gl->show();
        return;
    }
#endif
    // Software painting, also for mode 0 where OpenGL cannot be used.
    if (m_gl && !m_gl->isHidden()) {
        m_gl->hide();
        update();
    }
}

void CPlayWnd::Clear() {
    ++m_generation;
    {
        std::lock_guard lock(m_mutex);
        m_pending = QImage();
    }
    m_picture = QImage();
    m_framesShown = 0;
#ifdef QT_OPENGLWIDGETS_LIB
    if (m_gl) static_cast<CGlView*>(m_gl)->SetPicture(QImage());
#endif
    update();
}

QRect CPlayWnd::PictureRect() const {
    if (m_picture.isNull() || m_picture.width() <= 0 || m_picture.height() <= 0) return rect();
    // The largest rectangle of the picture's shape, centred: no distortion.
    const QSize fitted = m_picture.size().scaled(size(), Qt::KeepAspectRatio);
    return QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted);
}

void CPlayWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_picture.isNull() && !GpuActive()) painter.drawImage(PictureRect(), m_picture);
}

void CPlayWnd::resizeEvent(QResizeEvent*) { UpdatePictureGeometry(); }

// The SDK maps mouse positions over the view it is told about: the area the
// picture covers, not the black bars beside it.
void CPlayWnd::UpdatePictureGeometry() {
    const QRect area = PictureRect();
    m_viewWidth.store(area.width());
    m_viewHeight.store(area.height());
    if (m_gl) m_gl->setGeometry(area);
}

void CPlayWnd::PostMouse(int message, QPoint pos, QPoint globalPos) {
    // Positions are passed relative to the picture's own area.
    pos -= PictureRect().topLeft();
    if (QWidget* owner = parentWidget())
        QCoreApplication::postEvent(owner, new ky::video::CVideoMouseEvent(message, m_index, pos, globalPos));
}

void CPlayWnd::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint(), global = event->globalPosition().toPoint();
    if (event->button() == Qt::LeftButton) PostMouse(ky::video::kLeftDown, pos, global);
    if (event->button() == Qt::RightButton) PostMouse(ky::video::kContextMenu, pos, global);
}

void CPlayWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        PostMouse(ky::video::kLeftUp, event->position().toPoint(), event->globalPosition().toPoint());
}

void CPlayWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        PostMouse(ky::video::kDoubleClick, event->position().toPoint(), event->globalPosition().toPoint());
}

void CPlayWnd::mouseMoveEvent(QMouseEvent* event) {
    PostMouse(ky::video::kMouseMove, event->position().toPoint(), event->globalPosition().toPoint());
}

void CPlayWnd::leaveEvent(QEvent*) { PostMouse(ky::video::kMouseLeave, QPoint(), QPoint()); }
