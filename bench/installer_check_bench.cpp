// What the installer's start-up check costs: CheckInstallerOutsidePackage,
// the check of everything but the package that runs before the installer
// reads any of its own settings, on installers given on the command line.
// It reads the headers, the resource directory and every byte outside the
// package, so its cost follows the size of the program and its pictures,
// not the product's. Builds natively and for Windows (run the .exe under
// Wine); not a test. See bench/README.md.
//
//   installer_check_bench [--runs N] Setup.exe...

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "package/InstallerDigest.h"

namespace {

// The installer read through an open file, at offsets, as the installer reads
// its own.
class FileSource final : public vo::pe::Source {
 public:
  explicit FileSource(const char* path) : fFile(path, std::ios::binary) {
    fFile.seekg(0, std::ios::end);
    fSize = uint64_t(fFile.tellg());
  }
  bool Open() const { return bool(fFile); }
  uint64_t Size() const override { return fSize; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    fFile.seekg(std::streamoff(offset));
    fFile.read(static_cast<char*>(buffer), std::streamsize(count));
    if (size_t(fFile.gcount()) != count) throw vo::pe::PeError("short read");
    read += count;
  }
  uint64_t read = 0;

 private:
  std::ifstream fFile;
  uint64_t fSize = 0;
};

}  // namespace

int main(int argc, char** argv) {
  int runs = 20;
  std::vector<const char*> paths;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      paths.push_back(argv[i]);
    }
  }
  if (paths.empty()) {
    std::fprintf(stderr, "usage: installer_check_bench [--runs N] Setup.exe...\n");
    return 2;
  }
  std::printf("%-40s %12s %12s %12s %10s\n", "installer", "file bytes", "package", "bytes read", "median ms");
  for (const char* path : paths) {
    std::vector<double> times;
    uint64_t read = 0;
    uint64_t size = 0;
    uint64_t package = 0;
    bool intact = true;
    for (int run = 0; run < runs; ++run) {
      FileSource file(path);
      if (!file.Open()) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
      }
      const auto start = std::chrono::steady_clock::now();
      const vo::InstallerCheck check = vo::CheckInstallerOutsidePackage(file);
      times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
      intact = intact && check.intact;
      read = file.read;
      size = file.Size();
      package = check.parts.package.size;
      if (!check.intact) std::fprintf(stderr, "%s: %s\n", path, check.detail.c_str());
    }
    std::sort(times.begin(), times.end());
    std::printf("%-40s %12llu %12llu %12llu %10.2f%s\n", path, (unsigned long long)size, (unsigned long long)package,
                (unsigned long long)read, times[times.size() / 2], intact ? "" : "  DAMAGED");
  }
  return 0;
}
