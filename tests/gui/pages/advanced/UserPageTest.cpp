// The camera user page: the current login shown, the write, and what the
// camera accepts afterwards.
#include <QLineEdit>

#include "core/cgi/HttpFetch.h"
#include "gui/pages/advanced/P_UserDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class UserPageTest : public kytest::PageTest {
protected:
    // Status of one CGI read with these credentials.
    int StatusWith(const std::string& user, const std::string& password) {
        HttpPage reply;
        CHttpFetch::Get("127.0.0.1", static_cast<uint16_t>(emulator->HttpPort()), user, password,
                        "/cgi-bin/ky7200/param.cgi?cmd=getntpattr", {}, &reply);
        return reply.status;
    }
    void Type(CP_UserDlg& page, const QString& name, const QString& password, const QString& retype) {
        page.NameEdit()->setText(name);
        page.PasswordEdit()->setText(password);
        page.RetypeEdit()->setText(retype);
    }
};

TEST_F(UserPageTest, ChangeLogsTheLiveViewOutAndOnlyTheNewLoginWorks) {
    CP_UserDlg page;
    Refresh(page);
    EXPECT_EQ("admin", page.NameEdit()->text());
    EXPECT_EQ(kPassword, page.PasswordEdit()->text());
    EXPECT_EQ(kPassword, page.RetypeEdit()->text());

    Type(page, "inst aller&", "N3w pass!", "N3w Pass!");
    Apply(page);
    EXPECT_EQ("The two passwords are different!", presenter.Last());
    EXPECT_EQ(200, StatusWith("admin", kPassword));

    Type(page, "inst aller&", "N3w pass!", "N3w pass!");
    Apply(page);
    EXPECT_EQ("Password changed successfully, please login again!", presenter.Last());
    EXPECT_EQ(1, camera.disconnects);
    EXPECT_FALSE(camera.IsLoggedIn());
    EXPECT_EQ(401, StatusWith("admin", kPassword));
    EXPECT_EQ(200, StatusWith("inst aller&", "N3w pass!"));
}

}   // namespace
