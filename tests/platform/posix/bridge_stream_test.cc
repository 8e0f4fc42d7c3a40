// Runs only in the POSIX build: which paths reach connect() and which are refused before it.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace vtm::platform {
namespace {

constexpr std::size_t SUN_PATH_SIZE = sizeof(sockaddr_un{}.sun_path);

// The same socket named with extra slashes after its directory, to exactly `size` bytes.
std::string padded(const std::string& directory, std::size_t size) {
  const std::string name = "/s";
  return directory + std::string(size - directory.size() - name.size(), '/') + name;
}

struct OpenCase {
  const char* name;
  std::string (*path)(const std::string& directory);  // directory holds a listening socket "s"
  int error;                                          // 0: the open succeeds
};

class OpenBridgeSocket : public testing::TestWithParam<OpenCase> {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/vtm-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    directory_ = pattern;
    listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener_, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = directory_ + "/s";
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    ASSERT_EQ(::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener_, 8), 0);
  }
  static void TearDownTestSuite() {
    ::close(listener_);
    ::unlink((directory_ + "/s").c_str());
    ::rmdir(directory_.c_str());
  }
  static inline std::string directory_;
  static inline int listener_ = -1;
};

TEST_P(OpenBridgeSocket, ConnectsOrRefusesWithThePlatformText) {
  const auto opened = open_bridge_socket(GetParam().path(directory_));
  if (GetParam().error == 0) {
    EXPECT_TRUE(opened.ok()) << opened.error();
    return;
  }
  ASSERT_FALSE(opened.ok());
  const int code = GetParam().error;
  EXPECT_EQ(opened.error(),
            std::string(std::strerror(code)) + " (os error " + std::to_string(code) + ")");
}

// Each refused path would otherwise reach the listening socket or a different one.
INSTANTIATE_TEST_SUITE_P(
    Cases, OpenBridgeSocket,
    testing::Values(
        OpenCase{"Listening", [](const std::string& d) { return d + "/s"; }, 0},
        OpenCase{"LongestThatFits",
                 [](const std::string& d) { return padded(d, SUN_PATH_SIZE - 1); }, 0},
        OpenCase{"OneByteTooLong", [](const std::string& d) { return padded(d, SUN_PATH_SIZE); },
                 ENAMETOOLONG},
        OpenCase{"Empty", [](const std::string&) { return std::string(); }, EINVAL},
        OpenCase{"NulAfterTheSocketName",
                 [](const std::string& d) { return d + "/s" + std::string(1, '\0') + "x"; },
                 EINVAL},
        OpenCase{"LeadingNul", [](const std::string& d) { return std::string(1, '\0') + d + "/s"; },
                 EINVAL},
        OpenCase{"Missing", [](const std::string& d) { return d + "/absent"; }, ENOENT}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vtm::platform
