#include "gui/live/VideoWnd.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

#include "gui/live/LiveStatus.h"
#include "gui/live/PlayWnd.h"
#include "gui/live/VideoEvents.h"

namespace {

constexpr QColor kTitleColor{0, 255, 0};
constexpr int kMarkSize = 14;
constexpr int kMarkGap = 4;

}   // namespace

void DrawStateMark(QPainter& painter, const QRect& box, StateMark mark) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(box).adjusted(1, 1, -1, -1);
    switch (mark) {
        case StateMark::Recording: {
            // A red recording dot with a light rim.
            painter.setPen(QPen(QColor(255, 220, 220), 1.2));
            painter.setBrush(QColor(230, 20, 20));
            painter.drawEllipse(r.adjusted(1, 1, -1, -1));
            break;
        }
        case StateMark::Talking: {
            // A microphone: capsule, holder arc and stand.
            const QColor c(255, 200, 0);
            painter.setPen(Qt::NoPen);
            painter.setBrush(c);
            const double w = r.width(), h = r.height();
            painter.drawRoundedRect(QRectF(r.left() + w * 0.32, r.top(), w * 0.36, h * 0.6), w * 0.18, w * 0.18);
            painter.setPen(QPen(c, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawArc(QRectF(r.left() + w * 0.16, r.top() + h * 0.2, w * 0.68, h * 0.56), 180 * 16, 180 * 16);
            painter.drawLine(QPointF(r.center().x(), r.top() + h * 0.76), QPointF(r.center().x(), r.bottom()));
            painter.drawLine(QPointF(r.left() + w * 0.3, r.bottom()), QPointF(r.right() - w * 0.3, r.bottom()));
            break;
        }
        case StateMark::Listening: {
            // A loudspeaker with two sound waves.
            const QColor c(0, 200, 255);
            const double w = r.width(), h = r.height();
            QPainterPath speaker;
            speaker.moveTo(r.left(), r.top() + h * 0.35);
            speaker.lineTo(r.left() + w * 0.2, r.top() + h * 0.35);
            speaker.lineTo(r.left() + w * 0.45, r.top() + h * 0.1);
            speaker.lineTo(r.left() + w * 0.45, r.top() + h * 0.9);
            speaker.lineTo(r.left() + w * 0.2, r.top() + h * 0.65);
            speaker.lineTo(r.left(), r.top() + h * 0.65);
            speaker.closeSubpath();
            painter.setPen(Qt::NoPen);
            painter.setBrush(c);
            painter.drawPath(speaker);
            painter.setPen(QPen(c, 1.3));
            painter.setBrush(Qt::NoBrush);
            painter.drawArc(QRectF(r.left() + w * 0.3, r.top() + h * 0.3, w * 0.4, h * 0.4), -50 * 16, 100 * 16);
            painter.drawArc(QRectF(r.left() + w * 0.2, r.top() + h * 0.1, w * 0.75, h * 0.8), -50 * 16, 100 * 16);
            break;
        }
    }
    painter.restore();
}

CVideoWnd::CVideoWnd(int index, QWidget* parent) : QWidget(parent), m_index(index), m_play(new CPlayWnd(index, this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);   // keys go to the panel (Escape leaves full screen)
}

void CVideoWnd::SetTitle(const QString& title) {
    if (title == m_title) return;
    m_title = title;
    UpdateTitle();
}

void CVideoWnd::SetMarks(bool recording, bool talking, bool listening) {
    if (recording == m_recording && talking == m_talking && listening == m_listening) return;
    m_recording = recording;
    m_talking = talking;
    m_listening = listening;
    UpdateTitle();
}

void CVideoWnd::SetRecordSeconds(qint64 seconds) {
    if (seconds < 0) seconds = -1;
    if (seconds == m_recordSeconds) return;
    m_recordSeconds = seconds;
    UpdateTitle();
}

QString CVideoWnd::RecordText() const {
    return m_recording && m_recordSeconds >= 0 ? QStringLiteral("REC ") + ElapsedText(m_recordSeconds) : QString();
}

void CVideoWnd::UpdateTitle() {
    ++m_titleUpdates;
    update(0, 0, width(), kTitleHeight);
}

bool CVideoWnd::event(QEvent* event) {
    // The surface's mouse actions go on to the panel.
    if (auto* mouse = dynamic_cast<ky::video::CVideoMouseEvent*>(event)) {
        if (QWidget* panel = parentWidget())
            QCoreApplication::postEvent(
                panel, new ky::video::CVideoMouseEvent(static_cast<int>(mouse->type()), mouse->window, mouse->pos,
                                                       mouse->globalPos));
        return true;
    }
    return QWidget::event(event);
}

void CVideoWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect strip(0, 0, width(), kTitleHeight);
    painter.fillRect(strip, Qt::black);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(14);
    font.setWeight(QFont::Bold);
    painter.setFont(font);
    painter.setPen(kTitleColor);
    const QRect textRect = strip.adjusted(4, 0, -4, 0);
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, m_title);
    // The marks follow the title text.
    int x = textRect.left() + painter.fontMetrics().horizontalAdvance(m_title) + kMarkGap * 2;
    const int y = (kTitleHeight - kMarkSize) / 2;
    const std::pair<bool, StateMark> marks[] = {
        {m_recording, StateMark::Recording}, {m_talking, StateMark::Talking}, {m_listening, StateMark::Listening}};
    for (const auto& [on, mark] : marks) {
        if (!on) continue;
        DrawStateMark(painter, QRect(x, y, kMarkSize, kMarkSize), mark);
        x += kMarkSize + kMarkGap;
        if (mark == StateMark::Recording) {
            // The recording's time beside its dot, in the dot's red.
            const QString rec = RecordText();
            if (rec.isEmpty()) continue;
            painter.save();
            painter.setPen(QColor(255, 60, 60));
            painter.drawText(QRect(x, 0, width() - x, kTitleHeight), Qt::AlignLeft | Qt::AlignVCenter, rec);
            x += painter.fontMetrics().horizontalAdvance(rec) + kMarkGap * 2;
            painter.restore();
        }
    }
}

void CVideoWnd::resizeEvent(QResizeEvent*) {
    // Full screen keeps the title and a strip as high below it, so the
    // picture sits in the middle of the screen.
    const int below = window()->windowState() & Qt::WindowFullScreen ? kTitleHeight : 0;
    m_play->setGeometry(0, kTitleHeight, width(), qMax(0, height() - kTitleHeight - below));
}

void CVideoWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}
