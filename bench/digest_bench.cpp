// Package digest benchmark: what checking an installer's package against its
// SHA-256 costs, and how much of it the user waits for. See bench/README.md.
//
// The cost of the hash depends only on the number of bytes, so the payload is
// a buffer of pseudo-random bytes of the size of a package (a package is
// mostly deflated data, which looks random). It measures:
//   0. SHA-256's two block functions on the same buffer, the portable one
//      and the one with the x86 SHA extensions (where the CPU has them);
//      the hash uses the second where it can;
//   1. Sha256Of over the whole buffer, as the silent installation runs it
//      before it writes anything (the user waits for all of it);
//   2. BackgroundDigestCheck started at start-up, with Wait called after the
//      user has spent a while on the first pages, as the wizard does at
//      Install (the user waits only for what is left);
//   3. for scale, writing the same bytes to a file, which the installation
//      does next anyway (the package file).
// Builds natively and for Windows (run the .exe under Wine); not a test.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "crypt/Sha256Block.h"
#include "package/PackageDigest.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// CPU time of the calling thread, so that a machine busy with other work
// does not inflate the figure the way it inflates the elapsed time.
double ThreadCpuSeconds() {
#ifdef _WIN32
  FILETIME created, exited, kernel, user;
  if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime); };
  return double(ticks(kernel) + ticks(user)) / 1e7;
#else
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
#endif
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::vector<uint8_t> Payload(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i + 8 <= size; i += 8) {
    state ^= state << 13, state ^= state >> 7, state ^= state << 17;
    std::memcpy(&bytes[i], &state, 8);
  }
  return bytes;
}

// Median MB/s of one block function over the whole buffer, in thread CPU
// time; the padding a hash adds is left out.
double BlockFunctionSpeed(vo::sha256::BlockFunction compress, const std::vector<uint8_t>& bytes, int runs) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    uint32_t state[8];
    vo::sha256::LoadInitialState(state);
    const double start = ThreadCpuSeconds();
    for (size_t offset = 0; offset + 64 <= bytes.size(); offset += 64) compress(state, &bytes[offset]);
    times.push_back(ThreadCpuSeconds() - start);
    volatile uint32_t sink = state[0];
    (void)sink;
  }
  return double(bytes.size()) / 1048576.0 / Median(times);
}

}  // namespace

int main(int argc, char** argv) {
  size_t sizeMb = 100;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--size-mb" && i + 1 < argc) {
      sizeMb = size_t(std::atoi(argv[++i]));
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: digest_bench [--size-mb N] [--runs N]\n");
      return 2;
    }
  }
  const size_t size = sizeMb << 20;
  std::printf("payload: %zu MB of pseudo-random bytes (a package of that size)\n", sizeMb);
  const std::vector<uint8_t> package = Payload(size);
  const std::optional<vo::Sha256Digest> digest = vo::Sha256Of(package.data(), package.size());
  const vo::ByteView packageView{package.data(), package.size()};
  const vo::ByteView digestView{digest->data(), digest->size()};

  const double portable = BlockFunctionSpeed(&vo::sha256::CompressPortable, package, runs);
  const vo::sha256::BlockFunction extensions = vo::sha256::ExtensionBlockFunction();
  if (extensions) {
    std::printf("0. SHA-256 block functions (CPU time, median of %d): portable %.0f MB/s, "
                "SHA extensions %.0f MB/s (the hash uses the extensions)\n",
                runs, portable, BlockFunctionSpeed(extensions, package, runs));
  } else {
    std::printf("0. SHA-256 block functions (CPU time, median of %d): portable %.0f MB/s, "
                "SHA extensions: not on this CPU or in this build (the hash uses the portable one)\n",
                runs, portable);
  }

  std::vector<double> hashTimes;
  std::vector<double> cpuTimes;
  for (int run = 0; run < runs; ++run) {
    const auto start = Clock::now();
    const double cpuStart = ThreadCpuSeconds();
    const vo::DigestCheckResult result = vo::CheckPackageDigest(packageView, digestView);
    cpuTimes.push_back(ThreadCpuSeconds() - cpuStart);
    hashTimes.push_back(Seconds(start));
    if (result.verdict != vo::DigestVerdict::Intact) {
      std::fprintf(stderr, "unexpected verdict: %s\n", result.detail.c_str());
      return 1;
    }
  }
  const double hash = Median(hashTimes);
  const double cpu = Median(cpuTimes);
  std::printf("1. check before writing (silent /S): median %.3f s, best %.3f s, %.0f MB/s over %d runs;\n"
              "   CPU time median %.3f s (%.0f MB/s of CPU)\n",
              hash, *std::min_element(hashTimes.begin(), hashTimes.end()), double(sizeMb) / hash, runs, cpu,
              double(sizeMb) / cpu);

  std::printf("2. check started at start-up, waited for at Install (wizard):\n");
  for (double reading : {0.0, hash / 2, hash, 2.0}) {
    vo::BackgroundDigestCheck check(packageView, digestView);
    std::this_thread::sleep_for(std::chrono::duration<double>(reading));
    const auto start = Clock::now();
    check.Wait();
    std::printf("   after %.2f s on the first pages: Install waits %.3f s\n", reading, Seconds(start));
  }

  const std::filesystem::path file = std::filesystem::temp_directory_path() / "digest_bench.tmp";
  std::vector<double> writeTimes;
  for (int run = 0; run < std::min(runs, 3); ++run) {
    const auto start = Clock::now();
    {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(package.data()), std::streamsize(package.size()));
    }
    writeTimes.push_back(Seconds(start));
    std::filesystem::remove(file);
  }
  std::printf("3. for scale, writing the package file: median %.3f s (%.0f MB/s, the system's cache included)\n",
              Median(writeTimes), double(sizeMb) / Median(writeTimes));
  return 0;
}
