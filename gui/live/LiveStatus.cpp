#include "gui/live/LiveStatus.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <cmath>

#include "gui/kit/Translate.h"
#include "gui/live/VideoDlg.h"

QString LiveStatusText(const LiveStatus& s) {
    using State = LiveStatus::State;
    if (s.state == State::None) return LangText(QStringLiteral("No camera connected"));
    const QString dot = QStringLiteral(" · ");
    QString text =
        s.camera + dot + LangText(s.stream == 1 ? QStringLiteral("Second stream") : QStringLiteral("First stream"));
    switch (s.state) {
        case State::Connecting: text += dot + LangText(QStringLiteral("Connecting...")); break;
        case State::Paused: text += dot + LangText(QStringLiteral("Paused")); break;
        case State::Reconnecting: text += dot + LangText(QStringLiteral("Reconnecting...")); break;
        case State::Live:
            text += dot + LangText(QStringLiteral("Live"));
            if (s.width > 0 && s.height > 0) text += dot + QStringLiteral("%1×%2").arg(s.width).arg(s.height);
            if (s.fps > 0) text += dot + QStringLiteral("%1 fps").arg(std::lround(s.fps));
            if (s.kbps > 0) text += dot + QStringLiteral("%1 kbit/s").arg(std::llround(s.kbps));
            break;
        case State::None: break;
    }
    return text;
}

QString ElapsedText(qint64 seconds) {
    if (seconds < 0) seconds = 0;
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, sec = seconds % 60;
    const QString mmss = QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(sec, 2, 10, QLatin1Char('0'));
    return h ? QStringLiteral("%1:").arg(h) + mmss : mmss;
}

CLiveStatusBar::CLiveStatusBar(QWidget* parent) : QWidget(parent) {
    m_live = new QLabel(this);
    m_live->setObjectName(QStringLiteral("liveStatus"));
    m_file = new QLabel(this);
    m_file->setObjectName(QStringLiteral("savedFile"));
    m_file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_openFolder = new QPushButton(LangText(QStringLiteral("Open folder")), this);
    m_openFolder->setObjectName(QStringLiteral("openFolder"));
    m_openFolder->setAutoDefault(false);
    m_openFolder->hide();
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 4, 0);
    row->addWidget(m_live);
    row->addStretch(1);
    row->addWidget(m_file, 0);
    row->addWidget(m_openFolder);
    connect(m_openFolder, &QPushButton::clicked, this, [this] {
        if (!m_savedFile.isEmpty()) emit openFolderRequested(QFileInfo(m_savedFile).absolutePath());
    });
    Refresh();
}

void CLiveStatusBar::Attach(CVideoDlg* video) {
    if (m_video) disconnect(m_video, nullptr, this, nullptr);
    m_video = video;
    if (m_video) {
        connect(m_video, &CVideoDlg::statusChanged, this, &CLiveStatusBar::Refresh);
        connect(m_video, &QObject::destroyed, this, [this] {
            m_video = nullptr;
            Refresh();
        });
    }
    Refresh();
}

void CLiveStatusBar::Refresh() { m_live->setText(LiveStatusText(m_video ? m_video->Status() : LiveStatus{})); }

void CLiveStatusBar::ShowSavedFile(const QString& path) {
    m_savedFile = path;
    m_file->setText(LangText(QStringLiteral("Saved:")) + QLatin1Char(' ') + path);
    m_file->setToolTip(path);
    m_openFolder->setVisible(!path.isEmpty());
}
