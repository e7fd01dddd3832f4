#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <atomic>

#include "notify/TestPeers.h"
#include "ui/common/MessageBox.h"
#include "ui/notify/SmtpConnectionTest.h"
#include "ui/notify/SmtpSetsDlg.h"
#include "ui/support/ModalDriver.h"

namespace zm {
namespace {

ManagerSettings Account(std::uint16_t port) {
    ManagerSettings settings;
    settings.smtp_server = "127.0.0.1";
    settings.smtp_port = port;
    settings.smtp_sec = 0;
    settings.smtp_login = "user";
    settings.smtp_pass = "secret";
    return settings;
}

class SmtpTestConnection : public testing::Test {
  protected:
    void SetUp() override { MessageBox::ClearNextAnswers(); }
    void TearDown() override {
        MessageBox::ClearNextAnswers();
        // No worker may outlive the test that started it.
        QTRY_COMPARE_WITH_TIMEOUT(SmtpConnectionTest::Running(), 0, 10000);
    }

    // Clicks "Test Connection" and waits for the answer, which the hook gives.
    MessageBox::Record TestAndWait(CSmtpSetsDlg& dialog) {
        MessageBox::SetNextAnswer(MsgResult::kOk);
        const int boxes = MessageBox::Count();
        QTest::mouseClick(dialog.findChild<QPushButton*>("testConnectionButton"), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return MessageBox::Count() > boxes; }, 15000));
        return MessageBox::Last();
    }
};

TEST_F(SmtpTestConnection, RealServerAcceptsTheAccount) {
    test::SmtpTestServer server({"--auth", "LOGIN,PLAIN"});
    CSmtpSetsDlg dialog(Account(server.port()));
    dialog.show();
    const MessageBox::Record answer = TestAndWait(dialog);
    EXPECT_EQ(answer.text, "Connection succeeded");
    EXPECT_EQ(answer.type.icon, MsgIcon::kInformation);
    EXPECT_EQ(dialog.findChild<QPushButton*>("testConnectionButton")->text(), "Test Connection");
    EXPECT_TRUE(server.WaitFor("QUIT"));
    EXPECT_NE(server.Transcript().find("AUTH"), std::string::npos) << server.Transcript();
}

TEST_F(SmtpTestConnection, FailuresNameTheMailClientsError) {
    {
        CSmtpSetsDlg dialog(Account(test::UnusedPort()));
        dialog.show();
        const MessageBox::Record answer = TestAndWait(dialog);
        EXPECT_EQ(answer.text, "Connection failed:\r\n --> Function connect failed.");
        EXPECT_EQ(answer.type.icon, MsgIcon::kError);
    }
    test::SmtpTestServer server({"--auth", "LOGIN", "--password", "right"});
    CSmtpSetsDlg dialog(Account(server.port()));
    dialog.show();
    const MessageBox::Record answer = TestAndWait(dialog);
    EXPECT_EQ(answer.text.rfind("Connection failed:\r\n --> ", 0), 0u) << answer.text;
    EXPECT_NE(answer.text, "Connection failed:\r\n --> .");
}

TEST_F(SmtpTestConnection, DialogStaysResponsiveAndCancelsWhileAServerIsSilent) {
    std::atomic<bool> release{false};
    test::ScriptedPeer silent([&](int, test::ScriptedPeer&) {
        // Accepts, then says nothing until the test is done with the dialog.
        for (int i = 0; i < 1000 && !release; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    ManagerSettings settings = Account(silent.port());
    const ManagerSettings before = settings;
    const int boxes = MessageBox::Count();
    bool waited = false;
    int ticks = 0;
    QString typed;
    test::OnNextModal<CSmtpSetsDlg>([&](CSmtpSetsDlg& dialog) {
        QPushButton* test = dialog.findChild<QPushButton*>("testConnectionButton");
        QTest::mouseClick(test, Qt::LeftButton);
        waited = test->text() == "... wait ..." && dialog.IsTesting();
        // While the worker waits for the greeting, timers run and typing works.
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(10);
        auto* login = dialog.findChild<QLineEdit*>("smtpLoginEdit");
        QTest::keyClicks(login, "-2");
        typed = login->text();
        QTest::qWait(300);
        EXPECT_TRUE(dialog.IsTesting());
        QTest::mouseClick(dialog.findChild<QPushButton*>("cancelButton"), Qt::LeftButton);
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(CSmtpSetsDlg::Run(settings, nullptr));
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_TRUE(waited);
    EXPECT_GE(ticks, 10);
    EXPECT_EQ(typed, "user-2");
    EXPECT_TRUE(settings.SameExceptPlacement(before));
    EXPECT_EQ(SmtpConnectionTest::Running(), 1);

    // The worker ends when the server gives up; its answer has nobody left to tell.
    release = true;
    QTRY_COMPARE_WITH_TIMEOUT(SmtpConnectionTest::Running(), 0, 10000);
    QTest::qWait(50);
    EXPECT_EQ(MessageBox::Count(), boxes);
}

}  // namespace
}  // namespace zm
