#include <gtest/gtest.h>

#include <unistd.h>

#include "base/SystemInfo.h"
#include "platform/SystemInfo.h"

TEST(SystemInfo, DescriptionPartsInOrder) {
    EXPECT_EQ(zm::GetSystemDescription(false, false, false, false), "<nothing>");

    const std::string os = zm::platform::OsDescription();
    const std::string host = zm::platform::HostName();
    const std::string user = zm::platform::UserName();
    EXPECT_EQ(zm::GetComputerNameCached(), host);
    EXPECT_EQ(zm::GetSystemDescription(true, false, false, false), os);
    EXPECT_EQ(zm::GetSystemDescription(false, false, true, false), "Computer name:  " + host);
    EXPECT_EQ(zm::GetSystemDescription(false, true, false, true),
              "System directory:  /usr/lib\r\nWindows directory:  /etc\r\nUser name:  " + user);
    EXPECT_EQ(
        zm::GetSystemDescription(true, true, true, true),
        os + "\r\nSystem directory:  /usr/lib\r\nWindows directory:  /etc\r\nComputer name:  " +
            host + "\r\nUser name:  " + user);
    EXPECT_EQ(zm::IsUserAdmin(), geteuid() == 0);
}
