#include "gui/live/ScreenPannel.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>

#include "gui/live/VideoEvents.h"
#include "gui/live/VideoWnd.h"

namespace {

constexpr int kOffset = 2;

// Cell (col, row) of an n x n grid spanning `span` cells, with the last row
// and column stretched to the edge less the offset.
QRect Cell(QSize size, int n, int col, int row, int spanCols = 1, int spanRows = 1) {
    const int cw = (size.width() - kOffset) / n, ch = (size.height() - kOffset) / n;
    const int left = col * cw + kOffset, top = row * ch + kOffset;
    int right = (col + spanCols) * cw, bottom = (row + spanRows) * ch;
    if (col + spanCols >= n) right = size.width() - kOffset;
    if (row + spanRows >= n) bottom = size.height() - kOffset;
    return QRect(left, top, qMax(0, right - left), qMax(0, bottom - top));
}

}   // namespace

CScreenPannel::CScreenPannel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    for (int i = 0; i < kWindows; ++i) {
        m_windows[i] = new CVideoWnd(i, this);
        m_windows[i]->hide();
    }
    LayOut();
}

CVideoWnd* CScreenPannel::Window(int index) const {
    return index >= 0 && index < kWindows ? m_windows[index] : nullptr;
}

int CScreenPannel::WindowCount(int layout) {
    if (layout >= 1 && layout <= 6) return layout * layout;
    if (layout == 16) return 6;
    if (layout == 18) return 8;
    return 0;
}

QRect CScreenPannel::WindowRect(int layout, int index, QSize size) {
    if (index < 0 || index >= WindowCount(layout)) return QRect();
    if (layout <= 6) return Cell(size, layout, index % layout, index / layout);
    // One large window in the top-left corner of an m x m grid, small ones
    // down the right column and then along the bottom row.
    const int m = layout == 16 ? 3 : 4, big = m - 1;
    if (index == 0) return Cell(size, m, 0, 0, big, big);
    if (index <= big) return Cell(size, m, big, index - 1);
    return Cell(size, m, index - 1 - big, big);
}

void CScreenPannel::SetActiveWindow(int index) {
    if (index < 0 || index >= kWindows || index == m_active) return;
    m_active = index;
    update();   // the old frame goes back to the background colour
}

bool CScreenPannel::SetLayoutKind(int layout) {
    if (WindowCount(layout) == 0) return false;
    m_layout = layout;
    m_enlarged = false;
    if (m_active >= WindowCount(layout)) m_active = 0;
    LayOut();
    return true;
}

void CScreenPannel::SetEnlarged(bool on) {
    if (on == m_enlarged) return;
    m_enlarged = on;
    LayOut();
}

void CScreenPannel::LayOut() {
    for (int i = 0; i < kWindows; ++i) {
        QRect r;
        if (m_enlarged)
            r = i == m_active ? WindowRect(1, 0, size()) : QRect();
        else
            r = WindowRect(m_layout, i, size());
        if (r.isNull()) {
            m_windows[i]->hide();
        } else {
            m_windows[i]->setGeometry(r);
            m_windows[i]->show();
        }
    }
    update();
}

void CScreenPannel::PassOn(QEvent* event) {
    auto* mouse = static_cast<ky::video::CVideoMouseEvent*>(event);
    if (m_target)
        QCoreApplication::postEvent(
            m_target, new ky::video::CVideoMouseEvent(static_cast<int>(event->type()), mouse->window, mouse->pos,
                                                      mouse->globalPos));
}

bool CScreenPannel::event(QEvent* event) {
    using namespace ky::video;
    if (auto* mouse = dynamic_cast<CVideoMouseEvent*>(event)) {
        switch (static_cast<int>(event->type())) {
            case kLeftDown: SetActiveWindow(mouse->window); break;
            case kContextMenu:
                SetActiveWindow(mouse->window);
                PassOn(event);
                break;
            case kDoubleClick:
                SetActiveWindow(mouse->window);
                SetEnlarged(!m_enlarged);
                PassOn(event);
                break;
            default:   // move, button up, leave
                PassOn(event);
                break;
        }
        return true;
    }
    return QWidget::event(event);
}

void CScreenPannel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const CVideoWnd* active = m_windows[m_active];
    if (active->isVisibleTo(this)) {
        painter.setPen(QPen(kActiveFrame, 1));
        painter.setBrush(Qt::NoBrush);
        // One pixel around the window, in the gap the layout leaves.
        painter.drawRect(active->geometry().adjusted(-1, -1, 0, 0));
    }
}

void CScreenPannel::resizeEvent(QResizeEvent*) { LayOut(); }

void CScreenPannel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // Covering the screen (no parent): the dialog takes the panel back.
        if (isWindow() && m_target)
            QCoreApplication::postEvent(m_target, new QEvent(ky::video::Type(ky::video::kFullScreenEscape)));
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
