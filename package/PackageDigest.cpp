#include "package/PackageDigest.h"

#include <chrono>

#include "crypt/Sha256.h"
#include "package/PackageSummary.h"

namespace vo {
namespace {

// Small enough that a stop request is seen within a few milliseconds, large
// enough that the slicing costs nothing.
constexpr size_t kSlice = size_t(1) << 20;

}  // namespace

std::optional<Sha256Digest> Sha256Of(const uint8_t* data, size_t size, const std::atomic<bool>* stop) {
  TSHA256 hash;
  hash.Init();
  for (size_t done = 0; done < size; done += kSlice) {
    if (stop && stop->load(std::memory_order_relaxed)) return std::nullopt;
    hash.Update(data + done, size - done < kSlice ? size - done : kSlice);
  }
  Sha256Digest digest;
  hash.Final(digest.data());
  return digest;
}

std::optional<Sha256Digest> Sha256Of(PackageInputFile& file, const std::atomic<bool>* stop) {
  TSHA256 hash;
  hash.Init();
  std::unique_ptr<uint8_t[]> slice(new uint8_t[kSlice]);
  file.Seek(0);
  for (;;) {
    if (stop && stop->load(std::memory_order_relaxed)) return std::nullopt;
    const size_t read = file.Read(slice.get(), kSlice);
    if (read == 0) break;
    hash.Update(slice.get(), read);
  }
  Sha256Digest digest;
  hash.Final(digest.data());
  return digest;
}

std::string HexText(const uint8_t* bytes, size_t size) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

DigestCheckResult CheckPackageDigest(const PackageOpener& openPackage, const std::optional<ByteView>& digest,
                                     const std::atomic<bool>* stop) {
  DigestCheckResult result;
  if (!digest) {
    result.verdict = DigestVerdict::NotChecked;
    result.detail = "the installer carries no package digest; the package is not checked";
    return result;
  }
  result.verdict = DigestVerdict::Damaged;
  if (digest->size != kPackageDigestSize) {
    result.detail = "the package digest has " + std::to_string(digest->size) + " bytes instead of " +
                    std::to_string(kPackageDigestSize);
    return result;
  }
  const std::string expected = HexText(digest->data, digest->size);
  std::unique_ptr<PackageInputFile> package;
  try {
    package = openPackage ? openPackage() : nullptr;
  } catch (const std::exception& e) {
    result.detail = std::string("the setup package cannot be read: ") + e.what();
    return result;
  }
  if (!package) {
    result.detail = "the installer carries a package digest (SHA-256 " + expected + ") but no setup package";
    return result;
  }

  const auto start = std::chrono::steady_clock::now();
  std::optional<Sha256Digest> actual;
  try {
    actual = Sha256Of(*package, stop);
  } catch (const std::exception& e) {
    result.detail = std::string("the setup package cannot be read: ") + e.what();
    return result;
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!actual) {
    result.verdict = DigestVerdict::Stopped;
    result.detail = "the package check was stopped before it finished";
    return result;
  }
  const std::string found = HexText(actual->data(), actual->size());
  const std::string bytes = std::to_string(package->Size()) + " bytes";
  if (found != expected) {
    result.detail = "the setup package (" + bytes + ") has SHA-256 " + found + ", but the installer expects " + expected;
    return result;
  }
  result.verdict = DigestVerdict::Intact;
  result.detail = "the setup package (" + bytes + ") matches its SHA-256 " + found;
  return result;
}

DigestCheckResult CheckPackageDigest(const std::optional<ByteView>& package, const std::optional<ByteView>& digest,
                                     const std::atomic<bool>* stop) {
  return CheckPackageDigest(
      [&package]() -> std::unique_ptr<PackageInputFile> {
        if (!package) return nullptr;
        return std::make_unique<MemoryInputFile>(package->data, package->size);
      },
      digest, stop);
}

BackgroundDigestCheck::BackgroundDigestCheck(std::optional<ByteView> package, std::optional<ByteView> digest)
    : BackgroundDigestCheck(
          [package]() -> std::unique_ptr<PackageInputFile> {
            if (!package) return nullptr;
            return std::make_unique<MemoryInputFile>(package->data, package->size);
          },
          digest) {}

BackgroundDigestCheck::BackgroundDigestCheck(PackageOpener openPackage, std::optional<ByteView> digest) {
  if (!digest) {
    fResult = CheckPackageDigest(openPackage, digest);  // nothing to hash
    return;
  }
  fWorker = std::make_unique<WorkerThread>(
      [this, openPackage, digest] { fResult = CheckPackageDigest(openPackage, digest, &fStop); });
}

BackgroundDigestCheck::~BackgroundDigestCheck() {
  fStop = true;
  if (fWorker) fWorker->Join();
}

const DigestCheckResult& BackgroundDigestCheck::Wait() {
  if (fWorker) fWorker->Join();
  return fResult;
}

}  // namespace vo
