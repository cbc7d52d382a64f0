#include "gui/pages/system/P_LogDlg.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "core/cgi/HttpFetch.h"

CP_LogDlg::CP_LogDlg(QWidget* parent) : CCameraPage(parent, "P_LOG_DLG") {
    m_view = new QTextBrowser(this);
    m_view->setObjectName(QStringLiteral("1135"));
    m_view->setOpenLinks(false);
    m_view->setLineWrapMode(QTextEdit::NoWrap);

    // Clear Log is the default button (control 1), Refresh control 2.
    auto* clear = new QPushButton(QStringLiteral("Clear Log"), this);
    clear->setObjectName(QStringLiteral("1"));
    clear->setDefault(true);
    auto* refresh = new QPushButton(QStringLiteral("Refresh"), this);
    refresh->setObjectName(QStringLiteral("2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(clear);
    buttons->addWidget(refresh);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_view, 1);
    column->addLayout(buttons);

    Translate();
    LockWhileBusy(clear);
    LockWhileBusy(refresh);
    connect(clear, &QPushButton::clicked, this, &CP_LogDlg::OnClearLog);
    connect(refresh, &QPushButton::clicked, this, &CP_LogDlg::OnRefresh);
}

void CP_LogDlg::RefreshFromDevice() {
    if (LoggedIn()) Load();
}

void CP_LogDlg::Load() { Fetch(false); }

void CP_LogDlg::Fetch(bool clear) {
    Start([this, clear](const CameraTarget& t) -> Done {
        // The result of clearing is not shown: the log shown next tells.
        if (clear) Call(t, &CCgiClient::CleanLog, static_cast<NoRecord*>(nullptr));
        const QString address =
            QStringLiteral("http://%1:%2%3").arg(QString::fromStdString(t.ip)).arg(t.port).arg(QLatin1String(kLogPath));
        HttpFetchOptions options;
        HttpPage page;
        const HttpFetchResult r = CHttpFetch::Get(t.ip, t.port, t.user, t.password, kLogPath, options, &page);
        // What the camera answered, as a browser would show it; nothing when
        // no answer came.
        const bool ok = r == HttpFetchResult::Ok && page.status == 200;
        const QString text =
            ok ? QString::fromUtf8(page.body.data(), static_cast<qsizetype>(page.body.size())) : QString();
        return [this, address, ok, text, t] {
            m_address = address;
            if (ok) return m_view->setPlainText(text);
            m_view->clear();
            ShowFailure(Failure::Read, t);
        };
    });
}

void CP_LogDlg::OnRefresh() { RefreshFromDevice(); }

void CP_LogDlg::OnClearLog() {
    if (LoggedIn() && Ask("Clear the camera's log? Every entry in it is lost.")) Fetch(true);
}
