// Extraction benchmark: ExtractPackage against the least a reader of the same
// package has to do (read each member, inflate it into memory with zlib,
// write it with plain writes). See bench/README.md.
//
// It builds a payload of mixed files (text, incompressible data, binaries in
// the manner of executables, a few large files), packs it with the package
// writer, then runs both extractions several times, alternating, each in a
// child process so that its peak memory is its own. It prints the times, the
// ratio, the output rate and the peak memory of each: the baseline holds the
// largest member's packed and unpacked bytes, ExtractPackage streams through
// fixed buffers and should stay flat whatever the members' sizes. Unless
// --zlib-only, it also packs the same payload with zstd and extracts that
// package in the same rounds, so sizes, times and peaks sit side by side.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include "package/MemberInflater.h"
#include "package/MemberZstdDecoder.h"
#include "package/PackageCodec.h"
#include "package/PackageExtractor.h"
#include "package/PackageFileSystem.h"
#include "package/PackageReader.h"
#include "package/PackageWriter.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Settings {
  fs::path work;
  bool keep = false;
  int64_t totalBytes = 200ll << 20;
  int files = 300;
  int runs = 5;
  int level = 9;
  bool zstd = true;  // also pack the same payload with zstd and extract it side by side
};

// ---- payload -------------------------------------------------------------

class Payload {
 public:
  explicit Payload(uint64_t seed) : fRandom(seed) {}

  std::string Text(size_t size) {
    static const char* const words[] = {
        "the",     "setup", "package", "installer", "folder", "member", "table",  "stream", "window",
        "product", "file",  "version", "licence",   "agree",  "shortcut", "desktop", "system", "copy",
        "data",    "of",    "and",     "to",        "in",     "for",    "with",   "a",      "is"};
    std::string out;
    out.reserve(size + 16);
    while (out.size() < size) {
      out += words[fRandom() % (sizeof words / sizeof *words)];
      out += (fRandom() % 12 == 0) ? "\r\n" : " ";
    }
    out.resize(size);
    return out;
  }

  // Already-compressed data: random bytes, which deflate cannot shrink.
  std::string Compressed(size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; i += 8) {
      uint64_t v = fRandom();
      std::memcpy(&out[i], &v, std::min<size_t>(8, size - i));
    }
    return out;
  }

  // Executable-like: code with a small skewed instruction set, zero-padded
  // tables, string sections and relocation-like runs of nearby numbers.
  std::string Binary(size_t size) {
    std::string out;
    out.reserve(size + 4096);
    static const uint8_t opcodes[] = {0x55, 0x8B, 0xEC, 0x83, 0xC4, 0x89, 0x45, 0xE8, 0xFF, 0x15, 0xC3, 0x90, 0x50, 0x6A, 0x00};
    while (out.size() < size) {
      switch (fRandom() % 4) {
        case 0:
        case 1:
          for (int i = 0; i < 1024; ++i) {
            out += char(fRandom() % 3 ? opcodes[fRandom() % sizeof opcodes] : uint8_t(fRandom()));
          }
          break;
        case 2: out.append(256 + fRandom() % 2048, '\0'); break;
        case 3: {
          uint32_t base = uint32_t(fRandom());
          for (int i = 0; i < 256; ++i) {
            uint32_t v = base + uint32_t(fRandom() % 4096);
            out.append(reinterpret_cast<const char*>(&v), 4);
          }
          out += Text(512);
          break;
        }
      }
    }
    out.resize(size);
    return out;
  }

  uint64_t Next() { return fRandom(); }

 private:
  std::mt19937_64 fRandom;
};

struct Built {
  int64_t unpacked = 0;
  int64_t packed = 0;
  int64_t largestPair = 0;  // packed + unpacked of the largest member
  int members = 0;
};

// Generates the payload file by file and packs each as it is made, so the
// benchmark process itself never holds more than one file.
Built BuildPackage(const Settings& settings, const fs::path& packagePath, vo::PackageCodec codec) {
  Payload payload(20261210);
  const int large = 4;
  const int64_t largeBytes = settings.totalBytes * 45 / 100;
  const int small = std::max(1, settings.files - large);
  const int64_t smallBytes = settings.totalBytes - largeBytes;

  std::unique_ptr<vo::PackageFileSystem> files = vo::CreatePlatformFileSystem();
  std::unique_ptr<vo::PackageOutputFile> out = files->CreateForWriting(packagePath.u16string());
  vo::PackageWriterOptions options;
  options.level = settings.level;
  options.codec = codec;
  vo::PackageWriter writer(*out, options);
  Built built;

  static const char16_t* const folders[] = {u"", u"Lang\\", u"Plugins\\", u"Docs\\", u"Data\\Maps\\"};
  auto add = [&](int index, int kind, size_t size) {
    std::string data = kind == 0 ? payload.Text(size) : kind == 1 ? payload.Compressed(size) : payload.Binary(size);
    static const char* const extensions[] = {".txt", ".zip", ".dll"};
    std::string name = "file" + std::to_string(index) + extensions[kind];
    const int64_t before = writer.BytesWritten();
    writer.AddMember(folders[index % 5], std::u16string(name.begin(), name.end()), false, data.data(), data.size());
    const int64_t packed = writer.BytesWritten() - before;
    built.unpacked += int64_t(data.size());
    built.largestPair = std::max(built.largestPair, packed + int64_t(data.size()));
    ++built.members;
  };
  // Sizes of the small files: a skewed spread around the mean (many small,
  // some of a few megabytes), scaled to the small files' share.
  std::vector<double> weights;
  for (int i = 0; i < small; ++i) weights.push_back(std::pow(double(payload.Next() % 1000 + 1) / 1000.0, 3.0) + 0.01);
  double sum = 0;
  for (double w : weights) sum += w;
  for (int i = 0; i < small; ++i) add(i, i % 3, size_t(double(smallBytes) * weights[i] / sum));
  for (int i = 0; i < large; ++i) add(small + i, i % 3 == 1 ? 1 : (i % 2 ? 0 : 2), size_t(largeBytes / large));
  writer.Finish();
  built.packed = writer.BytesWritten();
  return built;
}

// ---- the two extractions -------------------------------------------------

void ExtractWithPackageCode(const fs::path& package, const fs::path& into) {
  vo::ExtractPackage(package.u16string(), into.u16string() + u"/", u"", nullptr);
}

// The least work: read a member, inflate it in memory, write it.
void ExtractBaseline(const fs::path& package, const fs::path& into) {
  std::unique_ptr<vo::PackageFileSystem> files = vo::CreatePlatformFileSystem();
  std::vector<vo::PackageEntry> entries = *vo::ReadPackageEntries(*files, package.u16string(), u"");
  int in = ::open(package.c_str(), O_RDONLY);
  for (const vo::PackageEntry& e : entries) {
    std::unique_ptr<uint8_t[]> packed(new uint8_t[size_t(e.packedSize) + 1]);
    if (::read(in, packed.get(), size_t(e.packedSize)) != ssize_t(e.packedSize)) std::abort();
    std::unique_ptr<uint8_t[]> data(new uint8_t[size_t(e.unpackedSize) + 1]);
    uLongf length = uLongf(e.unpackedSize);
    if (uncompress(data.get(), &length, packed.get(), uLong(e.packedSize)) != Z_OK) std::abort();
    packed.reset();
    std::u16string folder = e.targetFolder;
    std::replace(folder.begin(), folder.end(), u'\\', u'/');
    fs::path target = into / fs::path(folder) / fs::path(e.fileName);
    fs::create_directories(target.parent_path());
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(out, data.get(), size_t(e.unpackedSize)) != ssize_t(e.unpackedSize)) std::abort();
    ::close(out);
  }
  ::close(in);
}

struct Measure {
  double seconds = 0;
  long peakKb = 0;
  long startKb = 0;
};

long ResidentKb() {
  long pages = 0;
  long resident = 0;
  FILE* f = std::fopen("/proc/self/statm", "r");
  if (f != nullptr) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Runs one extraction in a child process; its ru_maxrss is its own peak.
Measure RunInChild(void (*extract)(const fs::path&, const fs::path&), const fs::path& package, const fs::path& into) {
  int fds[2];
  if (::pipe(fds) != 0) std::abort();
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    Measure m;
    m.startKb = ResidentKb();
    auto start = Clock::now();
    extract(package, into);
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (::write(fds[1], &m, sizeof m) != ssize_t(sizeof m)) _exit(2);
    _exit(0);
  }
  ::close(fds[1]);
  Measure m;
  if (::read(fds[0], &m, sizeof m) != ssize_t(sizeof m)) {
    std::fprintf(stderr, "an extraction failed\n");
    std::exit(1);
  }
  ::close(fds[0]);
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  m.peakKb = usage.ru_maxrss;
  return m;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void Usage() {
  std::fprintf(stderr,
               "usage: extract_bench [--dir FOLDER] [--keep] [--size-mb N] [--files N] [--runs N] [--level N] [--zlib-only]\n"
               "  --dir    work folder (default: a new folder in the system's temporary folder)\n"
               "  --keep   leave the payload, the package and the outputs in the work folder\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  Settings settings;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage();
      return argv[++i];
    };
    if (arg == "--dir") settings.work = value();
    else if (arg == "--keep") settings.keep = true;
    else if (arg == "--size-mb") settings.totalBytes = std::stoll(value()) << 20;
    else if (arg == "--files") settings.files = std::stoi(value());
    else if (arg == "--runs") settings.runs = std::max(1, std::stoi(value()));
    else if (arg == "--level") settings.level = std::stoi(value());
    else if (arg == "--zlib-only") settings.zstd = false;
    else Usage();
  }
  bool madeWork = false;
  if (settings.work.empty()) {
    std::string pattern = (fs::temp_directory_path() / "vo-extract-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) return 1;
    settings.work = pattern;
    madeWork = true;
  }
  fs::create_directories(settings.work);
  const fs::path package = settings.work / "bench.stp";
  const fs::path zstdPackage = settings.work / "bench-zstd.stp";

  std::printf("building the payload and packing it (zlib level %d%s) in %s ...\n", settings.level,
              settings.zstd ? ", then zstd" : "", settings.work.c_str());
  std::fflush(stdout);
  auto packStart = Clock::now();
  Built built = BuildPackage(settings, package, vo::PackageCodec::Zlib);
  double packSeconds = std::chrono::duration<double>(Clock::now() - packStart).count();
  ::malloc_trim(0);
  const double unpackedMb = double(built.unpacked) / (1 << 20);
  std::printf("payload: %d files, %.1f MB; zlib package %.2f MB (packed in %.1f s); largest member packed+unpacked %.1f MB\n",
              built.members, unpackedMb, double(built.packed) / (1 << 20), packSeconds,
              double(built.largestPair) / (1 << 20));
  Built zstdBuilt;
  if (settings.zstd) {
    packStart = Clock::now();
    zstdBuilt = BuildPackage(settings, zstdPackage, vo::PackageCodec::Zstd);  // the same payload: same seed
    packSeconds = std::chrono::duration<double>(Clock::now() - packStart).count();
    ::malloc_trim(0);
    std::printf("zstd package (level %d, window 2^%d) %.2f MB (packed in %.1f s), %.3f of the zlib package\n",
                vo::kZstdLevel, vo::kZstdWindowLog, double(zstdBuilt.packed) / (1 << 20), packSeconds,
                double(zstdBuilt.packed) / double(built.packed));
  }

  // The extractions side by side, in an order that turns with every run.
  struct Contender {
    const char* name;
    void (*extract)(const fs::path&, const fs::path&);
    fs::path package;
    std::vector<double> times;
    long peak = 0;
    long start = 0;
  };
  std::vector<Contender> contenders = {{"baseline", ExtractBaseline, package, {}, 0, 0},
                                       {"ExtractPackage", ExtractWithPackageCode, package, {}, 0, 0}};
  if (settings.zstd) contenders.push_back({"ExtractPackage zstd", ExtractWithPackageCode, zstdPackage, {}, 0, 0});
  for (int run = 0; run < settings.runs; ++run) {
    for (size_t turn = 0; turn < contenders.size(); ++turn) {
      Contender& c = contenders[(size_t(run) + turn) % contenders.size()];
      const fs::path into = settings.work / "out";
      fs::remove_all(into);
      fs::create_directories(into);
      ::sync();
      Measure m = RunInChild(c.extract, c.package, into);
      c.times.push_back(m.seconds);
      c.peak = std::max(c.peak, m.peakKb);
      c.start = m.startKb;
      std::printf("  run %d %-20s %7.3f s  peak %7.1f MB\n", run + 1, c.name, m.seconds, double(m.peakKb) / 1024);
      std::fflush(stdout);
    }
  }

  std::printf("\nmedian of %d runs (best in brackets)\n", settings.runs);
  const char* const labels[] = {"baseline (inflate in memory + plain writes):", "ExtractPackage (zlib):",
                                "ExtractPackage (zstd):"};
  for (size_t i = 0; i < contenders.size(); ++i) {
    const Contender& c = contenders[i];
    const double median = Median(c.times);
    const double best = *std::min_element(c.times.begin(), c.times.end());
    const int64_t packed = i == 2 ? zstdBuilt.packed : built.packed;
    std::printf("  %-45s %7.3f s (%.3f)  %7.1f MB/s  peak %7.1f MB (%.1f MB above start)  package %.2f MB\n",
                labels[i], median, best, unpackedMb / median, double(c.peak) / 1024, double(c.peak - c.start) / 1024,
                double(packed) / (1 << 20));
  }
  const double base = Median(contenders[0].times);
  const double extract = Median(contenders[1].times);
  std::printf("  ratio ExtractPackage / baseline: median %.3f (%s the 10%% goal)\n", extract / base,
              extract <= base * 1.10 ? "within" : "OUTSIDE");
  if (settings.zstd) {
    std::printf("  zstd / zlib: size %.3f, extraction time %.3f\n", double(zstdBuilt.packed) / double(built.packed),
                Median(contenders[2].times) / extract);
  }
  std::printf("  largest member packed + unpacked: %.1f MB (what the baseline holds at most); "
              "ExtractPackage's buffers: %.2f MB (zstd adds its window, at most %d MiB)\n",
              double(built.largestPair) / (1 << 20),
              double(vo::MemberInflater::kInputBufferSize + vo::MemberInflater::kOutputBufferSize) / (1 << 20),
              (1 << vo::MemberZstdDecoder::kWindowLog) >> 20);

  if (!settings.keep) {
    std::error_code ec;
    if (madeWork) {
      fs::remove_all(settings.work, ec);
    } else {
      for (const char* name : {"bench.stp", "bench-zstd.stp", "out"}) fs::remove_all(settings.work / name, ec);
    }
  }
  return 0;
}
