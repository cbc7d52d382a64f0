#include "gui/live/BrowserSDDlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/kit/CameraSession.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"
#include "core/cgi/CameraWeb.h"
#include "gui/live/CameraWebView.h"
#include "gui/live/PlaybackDlg.h"

CBrowserSDDlg::CBrowserSDDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("SD Card"));
    m_web = new CCameraWebView(this);
    m_web->setObjectName(QStringLiteral("web"));
    m_refresh = new QPushButton(QStringLiteral("刷新"), this);
    m_refresh->setObjectName(QStringLiteral("refresh"));
    m_cancel = new QPushButton(QStringLiteral("取消"), this);
    m_cancel->setObjectName(QStringLiteral("2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_refresh);
    buttons->addWidget(m_cancel);
    auto* main = new QVBoxLayout(this);
    main->addWidget(m_web, 1);
    main->addLayout(buttons);
    resize(760, 560);

    connect(m_refresh, &QPushButton::clicked, this, &CBrowserSDDlg::OnRefresh);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_web, &CCameraWebView::recordingClicked, this, &CBrowserSDDlg::OnRecordingClicked);

    TranslateWindow(this);
    OnRefresh();
}

void CBrowserSDDlg::OnRefresh() {
    ICameraSession& session = CurrentCamera();
    if (!session.IsLoggedIn()) {
        m_web->ClearPage();
        return;
    }
    m_web->SetCamera(CameraAddressOf(session.GetDevice()));
    m_web->OpenPath(QString::fromLatin1(kSdPath));
}

void CBrowserSDDlg::OnRecordingClicked(const QString& path) {
    const QString name = QString::fromStdString(PathFileName(path.toStdString()));
    if (!Presenter().Question(this, LangText(QStringLiteral("Play this recording?")) + QLatin1Char('\n') + name))
        return;
    RunPlayback(path);
}

void CBrowserSDDlg::RunPlayback(const QString& path) {
    CPlaybackDlg dlg(this);
    dlg.PlayPath(path);
    dlg.exec();
}
