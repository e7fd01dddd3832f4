#include "ui/common/MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <future>

#include "ui/support/ModalDriver.h"

namespace zm {
namespace {

class MessageBoxTest : public testing::Test {
  protected:
    void SetUp() override { MessageBox::ClearNextAnswers(); }
    void TearDown() override {
        MessageBox::ClearNextAnswers();
        SetMessageSink({});
    }
};

TEST_F(MessageBoxTest, QueuedAnswersAreGivenInOrderWithoutABox) {
    MessageBox::SetNextAnswer(MsgResult::kYes);
    MessageBox::SetNextAnswer(MsgResult::kCancel);
    EXPECT_EQ(MessageBox::PendingAnswers(), 2);
    const int before = MessageBox::Count();
    EXPECT_EQ(MessageBox::Show(nullptr, "first", {MsgButtons::kYesNoCancel, MsgIcon::kQuestion}),
              MsgResult::kYes);
    EXPECT_EQ(MessageBox::Show(nullptr, "second", {MsgButtons::kOkCancel}, " - Test"),
              MsgResult::kCancel);
    EXPECT_EQ(MessageBox::Count(), before + 2);
    const MessageBox::Record last = MessageBox::Last();
    EXPECT_EQ(last.text, "second");
    EXPECT_EQ(last.caption, "ZorManager__All_Ver-Lang - Test");
    EXPECT_EQ(last.type.buttons, MsgButtons::kOkCancel);
    EXPECT_EQ(last.answer, MsgResult::kCancel);
}

TEST_F(MessageBoxTest, RealBoxShowsCaptionTextAndButtons) {
    QString title;
    QString text;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    test::OnNextModal<QMessageBox>([&](QMessageBox& box) {
        title = box.windowTitle();
        text = box.text();
        icon = box.icon();
        buttons = int(box.buttons().size());
        QTest::mouseClick(box.findChild<QPushButton*>("buttonNo"), Qt::LeftButton);
    });
    EXPECT_EQ(MessageBox::Show(nullptr, "Do you want to save configuration changes?\r\n",
                               {MsgButtons::kYesNoCancel, MsgIcon::kQuestion}),
              MsgResult::kNo);
    EXPECT_EQ(title, "ZorManager__All_Ver-Lang");
    EXPECT_EQ(text, "Do you want to save configuration changes?\n");
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(buttons, 3);
}

TEST_F(MessageBoxTest, EscapeGivesTheSafeAnswer) {
    test::OnNextModal<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); });
    EXPECT_EQ(MessageBox::Show(nullptr, "Sure?", {MsgButtons::kYesNo, MsgIcon::kWarning}),
              MsgResult::kNo);
}

TEST_F(MessageBoxTest, SinkCarriesMessagesOfOtherThreadsToTheWindow) {
    MessageBox::InstallAsMessageSink();
    test::OnNextModal<QMessageBox>([](QMessageBox& box) {
        QTest::mouseClick(box.findChild<QPushButton*>("buttonRetry"), Qt::LeftButton);
    });
    auto answer = std::async(std::launch::async, [] {
        return ShowMessage("Port busy", {MsgButtons::kRetryCancel, MsgIcon::kError}, " - Link");
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        10000));
    EXPECT_EQ(answer.get(), MsgResult::kRetry);
    EXPECT_EQ(MessageBox::Last().caption, "ZorManager__All_Ver-Lang - Link");
}

}  // namespace
}  // namespace zm
