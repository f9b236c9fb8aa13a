// The real stpack, interrupted by a signal while it writes a package of a
// large generated payload: it ends with the shell's code for the signal and
// leaves no partial file (nor an output) behind.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "package/PackageTestSupport.h"

extern char** environ;

namespace vo::test {
namespace {

// Incompressible bytes, so that packing takes a while.
void WriteNoise(const fs::path& path, size_t bytes) {
  fs::create_directories(path.parent_path());
  std::mt19937_64 random(bytes);
  std::string block(1 << 20, '\0');
  std::ofstream out(path, std::ios::binary);
  for (size_t written = 0; written < bytes; written += block.size()) {
    for (size_t i = 0; i + 8 <= block.size(); i += 8) {
      const uint64_t value = random();
      std::memcpy(&block[i], &value, 8);
    }
    out.write(block.data(), std::streamsize(block.size()));
  }
}

struct InterruptCase {
  const char* name;
  int signal;
  int exitCode;
};

void PrintTo(const InterruptCase& c, std::ostream* out) { *out << c.name; }

class Interrupted : public ::testing::TestWithParam<InterruptCase> {};

TEST_P(Interrupted, BuildLeavesNoPartialFile) {
  const InterruptCase& c = GetParam();
  Sandbox box;
  for (const char* file : {"a.bin", "Sub/b.bin", "Sub/c.bin"}) WriteNoise(box.Path(std::string("payload/") + file), 48u << 20);
  const fs::path output = box.Path("out.stp");
  const fs::path partial = box.Path("out.stp.partial");

  const std::string program = STPACK_PROGRAM;
  const std::string payload = box.Path("payload").string(), out = output.string();
  std::vector<const char*> argv = {program.c_str(), "build", payload.c_str(), "-o", out.c_str(),
                                   "--no-uninstaller", nullptr};
  pid_t child = 0;
  ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, const_cast<char**>(argv.data()), environ), 0)
      << program;

  // Mid-way: as soon as the partial file exists.
  bool seen = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int status = 0;
  while (!seen && std::chrono::steady_clock::now() < deadline) {
    if (fs::exists(partial) && fs::file_size(partial) > 0) {
      seen = true;
      break;
    }
    if (::waitpid(child, &status, WNOHANG) == child) break;  // ended before it started writing
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(seen) << "stpack never wrote " << partial;
  ASSERT_EQ(::kill(child, c.signal), 0);
  ASSERT_EQ(::waitpid(child, &status, 0), child);

  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
  EXPECT_FALSE(fs::exists(partial));
  EXPECT_FALSE(fs::exists(output));
}

const InterruptCase kInterrupts[] = {
    {"sigint", SIGINT, 130},
    {"sigterm", SIGTERM, 143},
};

INSTANTIATE_TEST_SUITE_P(Cases, Interrupted, ::testing::ValuesIn(kInterrupts),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vo::test
