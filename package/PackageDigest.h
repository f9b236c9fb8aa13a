#pragma once
// The integrity check of the package an installer carries. The installer
// holds the SHA-256 of its package's bytes (32 bytes, the resource
// PACKAGEDIGEST); before anything is written, the package is hashed and
// compared with it, so that an installer damaged in transit says so instead
// of failing halfway through its files. An installer without a digest
// installs as installers always did.
//
// Hashing a large package takes a noticeable moment, so the wizard starts it
// on a worker thread at start-up (BackgroundDigestCheck) and waits for the
// verdict only when Install is clicked.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <string>

#include "package/PackageFileSystem.h"
#include "package/WorkerThread.h"

namespace vo {

constexpr size_t kPackageDigestSize = 32;
using Sha256Digest = std::array<uint8_t, kPackageDigestSize>;

// Bytes that live elsewhere (a mapped resource); the caller keeps them alive.
struct ByteView {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// SHA-256 of size bytes, hashed in slices of 1 MiB. When stop becomes true
// the hash ends early and nullopt is returned.
std::optional<Sha256Digest> Sha256Of(const uint8_t* data, size_t size, const std::atomic<bool>* stop = nullptr);
// The same for a whole file, read in slices from its start; raises the
// file's read errors.
std::optional<Sha256Digest> Sha256Of(PackageInputFile& file, const std::atomic<bool>* stop = nullptr);

// Opens the package to check; nullptr when there is none. The installer
// reads its package through its own file rather than the mapped image, so
// that hashing it does not make the whole package resident.
using PackageOpener = std::function<std::unique_ptr<PackageInputFile>()>;

// Lower-case hexadecimal, two digits a byte.
std::string HexText(const uint8_t* bytes, size_t size);

enum class DigestVerdict {
  NotChecked,  // the installer carries no digest
  Intact,      // the package's hash equals the digest
  Damaged,     // it does not, the digest is malformed, or the package is missing
  Stopped,     // the check was abandoned before it finished
};

struct DigestCheckResult {
  DigestVerdict verdict = DigestVerdict::NotChecked;
  std::string detail;     // one sentence for the log: which check, with both hashes
  double seconds = 0;     // time spent hashing
};

// The check: package and digest as found in the installer (nullopt when the
// resource is missing).
DigestCheckResult CheckPackageDigest(const std::optional<ByteView>& package, const std::optional<ByteView>& digest,
                                     const std::atomic<bool>* stop = nullptr);
// The same with the package opened by openPackage (which may raise: the
// package is then taken as damaged, with the error in the detail).
DigestCheckResult CheckPackageDigest(const PackageOpener& openPackage, const std::optional<ByteView>& digest,
                                     const std::atomic<bool>* stop = nullptr);

// CheckPackageDigest on a worker thread from construction on. Wait joins it
// (once; later calls give the same result). Destroying the object before
// Wait asks the worker to stop and joins it, which takes at most one slice.
class BackgroundDigestCheck {
 public:
  BackgroundDigestCheck(std::optional<ByteView> package, std::optional<ByteView> digest);
  BackgroundDigestCheck(PackageOpener openPackage, std::optional<ByteView> digest);
  ~BackgroundDigestCheck();
  BackgroundDigestCheck(const BackgroundDigestCheck&) = delete;
  BackgroundDigestCheck& operator=(const BackgroundDigestCheck&) = delete;

  const DigestCheckResult& Wait();

 private:
  std::atomic<bool> fStop{false};
  DigestCheckResult fResult;
  std::unique_ptr<WorkerThread> fWorker;
};

}  // namespace vo
