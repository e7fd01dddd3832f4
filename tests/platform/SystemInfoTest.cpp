#include <gtest/gtest.h>

#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/SystemInfo.h"

namespace zp = zm::platform;

TEST(SystemInfo, OsDescriptionFromReleaseTexts) {
    struct Case {
        const char* osRelease;
        const char* kernel;
        const char* text;
    };
    const Case cases[] = {
        {"NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
         "6.1.0-18-amd64", "Debian GNU/Linux 12 (bookworm), kernel 6.1.0-18-amd64 (6,1)"},
        {"NAME=Fedora\nVERSION='39 (Workstation Edition)'\n", "6.5.6-300.fc39.x86_64",
         "Fedora 39 (Workstation Edition), kernel 6.5.6-300.fc39.x86_64 (6,5)"},
        {"PRETTY_NAME=\"Say \\\"hi\\\"\"\r\n", "5.15.0", "Say \"hi\", kernel 5.15.0 (5,15)"},
        {"", "4.19.0", "Linux, kernel 4.19.0 (4,19)"},
        {"PRETTY_NAME=x\n", "garbage", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(zp::OsDescriptionFrom(c.osRelease, c.kernel), c.text) << c.kernel;
    }
}

TEST(SystemInfo, LiveValuesDescribeThisMachine) {
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    int major = 0, minor = 0;
    ASSERT_EQ(std::sscanf(names.release, "%d.%d", &major, &minor), 2);
    std::string description = zp::OsDescription();
    std::string tail = ", kernel " + std::string(names.release) + " (" + std::to_string(major) +
                       "," + std::to_string(minor) + ")";
    ASSERT_GT(description.size(), tail.size());
    EXPECT_EQ(description.substr(description.size() - tail.size()), tail);

    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_EQ(zp::HostName(), host);
    EXPECT_FALSE(zp::UserName().empty());
    EXPECT_EQ(zp::IsAdministrator(), geteuid() == 0);
    EXPECT_EQ(zp::SystemErrorText(ENOENT), "No such file or directory");
}
