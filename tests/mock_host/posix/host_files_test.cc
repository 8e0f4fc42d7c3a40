// Runs only in the POSIX build: the waits a FIFO imposes, which a stop signal must end.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "host_files.h"
#include "listener.h"

namespace vtm::mock {
namespace {

// Nobody opens the other end: the read waits for a writer, the output for a reader. The stop
// is for the process, so it is asked for in a child of the test.
TEST(HostFilesDeathTest, AStopEndsTheWaitsOfAFifoWithoutAPeer) {
  const std::string fifo = testing::TempDir() + "host-files-" + std::to_string(getpid()) + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EXIT(
      {
        prepare_process();
        raise(SIGTERM);
        const auto read = read_whole_file(fifo, 16);
        const auto created = create_output(fifo);
        std::fprintf(stderr, "read: %s; output: %s\n", read ? "loaded" : read.error().c_str(),
                     created ? "created" : created.error().c_str());
        std::exit(0);
      },
      testing::ExitedWithCode(0), "^read: stopped by SIGTERM; output: stopped by SIGTERM\n$");
  unlink(fifo.c_str());
}

}  // namespace
}  // namespace vtm::mock
