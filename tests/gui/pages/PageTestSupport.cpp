#include "tests/gui/pages/PageTestSupport.h"

#include <QTest>

#include <algorithm>
#include <vector>

#include "core/cgi/HttpFetch.h"
#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/PageControls.h"

namespace kytest {

namespace {

// Percent-encodes every byte but unreserved ones (state keys and values).
std::string Encode(const std::string& s) { return QUrl::toPercentEncoding(QByteArray::fromStdString(s)).toStdString(); }

// "a=1 b=2" as its pairs.
std::vector<std::pair<std::string, std::string>> Pairs(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    for (const QString& p : QString::fromStdString(text).split(' ', Qt::SkipEmptyParts))
        out.emplace_back(p.section('=', 0, 0).toStdString(), p.section('=', 1).toStdString());
    return out;
}

QString State(const QObject* c) {
    if (auto* e = qobject_cast<const QLineEdit*>(c)) return e->text();
    if (auto* l = qobject_cast<const QComboBox*>(c)) return l->currentText();
    if (auto* t = qobject_cast<const QLabel*>(c)) return t->text();
    if (auto* b = qobject_cast<const QAbstractButton*>(c)) return b->isChecked() ? "on" : "off";
    if (auto* p = qobject_cast<const CRadioPair*>(c)) return QString::number(p->Checked());
    if (auto* g = dynamic_cast<const QButtonGroup*>(c)) return QString::number(g->checkedId());
    ADD_FAILURE() << "no state for a " << c->metaObject()->className();
    return {};
}

}   // namespace

void PumpEvents(int ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    QThread::msleep(static_cast<unsigned long>(ms));
    QCoreApplication::processEvents();
}

QStringList Texts(const QWidget& page, std::initializer_list<int> ids) {
    QStringList out;
    for (int id : ids) out << page.findChild<QLineEdit*>(QString::number(id))->text();
    return out;
}

void SetState(QObject* c, const QString& s) {
    if (auto* e = qobject_cast<QLineEdit*>(c)) return e->setText(s);
    if (auto* l = qobject_cast<QComboBox*>(c))
        return s.startsWith('#') ? l->setCurrentIndex(s.mid(1).toInt()) : l->setCurrentText(s);
    if (auto* b = qobject_cast<QAbstractButton*>(c)) return b->setChecked(s == "on");
    if (auto* p = qobject_cast<CRadioPair*>(c)) return p->Check(s.toInt());
    if (auto* g = dynamic_cast<CChoiceGroup*>(c)) return g->Choose(s.toInt());
    ADD_FAILURE() << "cannot set a " << c->metaObject()->className();
}

QStringList States(std::initializer_list<const QObject*> controls) {
    QStringList out;
    for (const QObject* c : controls) out << State(c);
    return out;
}

void Drag(QWidget& w, QPoint from, QPoint to) {
    QTest::mousePress(&w, Qt::LeftButton, {}, from);
    QTest::mouseMove(&w, to);
    QTest::mouseRelease(&w, Qt::LeftButton, {}, to);
}

void DragOnPicture(CPlayWnd& view, QPoint from, QPoint to) {
    const QRect area = view.PictureRect();
    const QSize picture(1280, 720);
    auto at = [&](QPoint p) {
        auto up = [](int v, int num, int den) { return static_cast<int>((int64_t(v) * num + den - 1) / den); };
        return area.topLeft() +
               QPoint(up(p.x(), area.width(), picture.width()), up(p.y(), area.height(), picture.height()));
    };
    Drag(view, at(from), at(to));
    PumpEvents(50);
}

void PageTest::Refresh(CCameraPage& page) {
    page.RefreshFromDevice();
    EXPECT_TRUE(WaitIdle(page));
}

void PageTest::Apply(CCameraPage& page) {
    page.OnApply();
    EXPECT_TRUE(WaitIdle(page));
}

void PageTest::Fault(const std::string& name) {
    ASSERT_NE(EmuControl("fault?name=" + Encode(name)), "<absent>") << name;
}

QString PageTest::ApplyMessage(CCameraPage& page) {
    presenter.Clear();
    Apply(page);
    EXPECT_LE(presenter.texts.size(), 1);
    return presenter.Last();
}

void PageTest::SetUp() {
    std::vector<std::string> args{"--password", kPassword};
    if (!withDiscovery) args.push_back("--no-discovery");
    args.insert(args.end(), emulatorArgs.begin(), emulatorArgs.end());
    if (withRtsp) args.insert(args.end(), {"--rtsp-port", "0"});
    if (!withRtsp) args.push_back("--no-rtsp");
    emulator = std::make_unique<ky::test::EmulatorProcess>(args);
    ASSERT_TRUE(emulator->Ok()) << "kycam-emulator did not start";
    DeviceRecord& d = camera.device;
    std::strcpy(d.info.ip, "127.0.0.1");
    std::snprintf(d.info.httpPort, sizeof d.info.httpPort, "%d", emulator->HttpPort());
    std::strcpy(d.user, "admin");
    std::strcpy(d.password, kPassword);
    camera.loggedIn = true;
    // What the emulator's SDK reports by default.
    SetCapability("7", "41;40;42;48;");
    ky::pages::SetCapabilitySource(
        [this]() -> const CapabilityRecord* { return camera.IsLoggedIn() && capabilityValid ? &capability : nullptr; });
}

void PageTest::TearDown() {
    ky::pages::SetCapabilitySource({});
    ky::pages::SetSdBrowserOpener({});
}

void PageTest::SetCapability(const char* profiles, const char* modes) {
    capability = CapabilityRecord{};
    // Fields may fill all 16 bytes without a NUL, as the camera sends them.
    std::memcpy(capability.field[ky::pages::kCapProfiles], profiles,
                std::min(std::strlen(profiles), CapabilityRecord::kFieldSize));
    std::memcpy(capability.field[ky::pages::kCapVideoModes], modes,
                std::min(std::strlen(modes), CapabilityRecord::kFieldSize));
}

std::string PageTest::EmuGet(const std::string& key) { return EmuControl("get?key=" + Encode(key)); }

std::string PageTest::EmuControl(const std::string& request) {
    HttpPage page;
    const auto r = CHttpFetch::Get("127.0.0.1", static_cast<uint16_t>(emulator->HttpPort()), "admin", kPassword,
                                   "/emu/" + request, {}, &page);
    if (r != HttpFetchResult::Ok || page.status != 200) return "<absent>";
    std::string v = page.body;
    while (!v.empty() && (v.back() == '\n' || v.back() == '\r')) v.pop_back();
    return v;
}

void PageTest::EmuSet(const std::string& key, const std::string& value) {
    ASSERT_NE(EmuControl("set?key=" + Encode(key) + "&value=" + Encode(value)), "<absent>") << "emu/set " << key;
}

void PageTest::EmuSetAll(const std::string& pairs) {
    for (const auto& [key, value] : Pairs(pairs)) EmuSet(key, value);
}

void PageTest::ExpectEmu(const std::string& pairs) {
    for (const auto& [key, value] : Pairs(pairs)) EXPECT_EQ(EmuAwait(key, value), value) << key;
}

std::string PageTest::EmuAwait(const std::string& key, const std::string& want) {
    std::string v;
    for (int i = 0; i < 100 && (v = EmuGet(key)) != want; ++i) QThread::msleep(20);
    return v;
}

}   // namespace kytest
