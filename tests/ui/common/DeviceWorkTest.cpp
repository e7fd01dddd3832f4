// A dialog's worker that throws: the program goes on, the dialog still gets its answer,
// and the run log says what happened, in red.
#include <gtest/gtest.h>

#include <QObject>
#include <QTest>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "base/AppLogs.h"
#include "base/Log.h"
#include "support/TempDir.h"
#include "ui/common/DeviceWork.h"

namespace zm {
namespace {

TEST(DeviceWorkTest, AWorkerThatThrowsIsLoggedAndItsDialogStillAnswered) {
    test::TempDir dir;
    RunLog().SetFolder(dir.folder());
    ASSERT_TRUE(RunLog().Open("RunLog", true));
    QObject dialog;
    bool done = false;
    RunDeviceWork(
        &dialog, [] { throw std::runtime_error("converter <gone>"); }, [&] { done = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
    const std::string path = RunLog().GetPath();
    RunLog().Close();
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    const size_t at = text.find("Device dialog worker: exception: converter &lt;gone&gt;");
    ASSERT_NE(at, std::string::npos) << text;
    const size_t entry = text.rfind("<font color=#", text.rfind("<font color=blue>", at) - 1);
    EXPECT_EQ(text.substr(entry, 20), "<font color=#C80000>") << "not red";
}

}  // namespace
}  // namespace zm
