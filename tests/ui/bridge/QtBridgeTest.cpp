// Relays from device threads, text conversion and translated texts at the Qt boundary.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Ini.h"
#include "base/MlsPrgMsg.h"
#include "support/TempDir.h"
#include "ui/bridge/QtRelay.h"
#include "ui/bridge/QtText.h"

namespace zm {
namespace {

using namespace std::chrono_literals;

void ProcessEventsFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(1ms);
    }
}

TEST(QtRelay, CallsFromADeviceThreadRunInOrderOnTheContextsThread) {
    QObject window;
    QtRelay relay(&window);
    std::vector<int> order;
    std::atomic<bool> allOnGui{true};
    const auto gui = std::this_thread::get_id();
    std::thread device([relay, &order, &allOnGui, gui] {
        for (int i = 0; i < 200; ++i) {
            EXPECT_TRUE(relay.Post([&order, &allOnGui, gui, i] {
                if (std::this_thread::get_id() != gui) {
                    allOnGui = false;
                }
                order.push_back(i);  // the GUI thread alone touches it
            }));
        }
    });
    device.join();
    EXPECT_TRUE(order.empty()) << "a relayed call ran on the device thread";
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (order.size() < 200 && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
    EXPECT_TRUE(allOnGui);
}

TEST(QtRelay, CallsQueuedForAContextThatWentAreDropped) {
    auto window = std::make_unique<QObject>();
    QtRelay relay(window.get());
    std::atomic<int> ran{0};
    std::thread device([&] {
        for (int i = 0; i < 10; ++i) {
            relay.Post([&] { ++ran; });
        }
    });
    device.join();
    window.reset();  // closed before the event loop came round
    ProcessEventsFor(30ms);
    EXPECT_EQ(ran.load(), 0);
    EXPECT_FALSE(relay.IsAlive());
    EXPECT_FALSE(relay.Post([&] { ++ran; }));
    EXPECT_FALSE(QtRelay().Post([] {}));  // an empty relay relays nothing
}

TEST(QtRelay, DetachDropsQueuedAndLaterCalls) {
    QObject window;
    QtRelay relay(&window);
    int ran = 0;
    relay.Post([&] { ++ran; });
    relay.Detach();
    EXPECT_FALSE(relay.Post([&] { ++ran; }));
    ProcessEventsFor(20ms);
    EXPECT_EQ(ran, 0);
}

// A device thread posting without pause while the window goes: every call runs before the
// window went or not at all (the sanitizer build checks for use after free).
TEST(QtRelay, WindowClosingWhileADeviceThreadPostsIsSafe) {
    auto window = std::make_unique<QObject>();
    auto alive = std::make_shared<std::atomic<bool>>(true);
    QtRelay relay(window.get());
    std::atomic<bool> stop{false};
    std::atomic<int> afterClose{0}, posted{0};
    std::thread device([&, relay] {
        while (!stop) {
            if (relay.Post([alive, &afterClose] {
                    if (!*alive) {
                        ++afterClose;
                    }
                })) {
                ++posted;
            }
        }
    });
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (posted < 1000 && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    *alive = false;
    window.reset();
    ProcessEventsFor(20ms);
    stop = true;
    device.join();
    ProcessEventsFor(20ms);
    EXPECT_GE(posted.load(), 1000);
    EXPECT_EQ(afterClose.load(), 0);
}

TEST(QtText, Utf8RoundTripsThroughQString) {
    const std::string cases[] = {
        "",
        "Pier-2",
        "Kai Süd-Ost ÄÖÜß",
        "Причал №3",
        "海上 センサー",
        "probe \xF0\x9F\x8C\x8A wave",
        std::string("with\0nul", 8),
    };
    for (const std::string& text : cases) {
        const QString q = ToQString(text);
        EXPECT_EQ(ToStdString(q), text);
    }
    EXPECT_EQ(ToQString("Причал").size(), 6);  // characters, not bytes
    EXPECT_EQ(ToQString("Kai Süd"), QStringLiteral(u"Kai Süd"));
}

TEST(QtText, TrGivesTheCurrentLanguagesText) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("Translations"));
    CIni(dir.file("Translations/Deutsch.lng")).WriteString("Menu", "tpMenu_Exit", "B&eenden");
    CMlsPrgMsg mls;
    ASSERT_EQ(CMlsPrgMsg::Instance(), &mls);
    mls.SetFolder(dir.folder() + "Translations/");
    mls.InitLanguages();
    const CMlsEntry exitEntry{"tpMenu_Exit", "E&xit", true, "Menu"};
    EXPECT_EQ(Tr(exitEntry), QStringLiteral("E&xit"));
    ASSERT_TRUE(mls.SwitchLanguage("Deutsch"));
    EXPECT_EQ(Tr(exitEntry), QStringLiteral("B&eenden"));
    EXPECT_EQ(Tr(exitEntry, "Default"), QStringLiteral("{E&xit}"));  // a gap in that section
    mls.SwitchLanguage("English");
}

}  // namespace
}  // namespace zm
