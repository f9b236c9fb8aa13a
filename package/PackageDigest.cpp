#include "package/PackageDigest.h"

#include <chrono>

#include "crypt/Sha256.h"

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

DigestCheckResult CheckPackageDigest(const std::optional<ByteView>& package, const std::optional<ByteView>& digest,
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
  if (!package) {
    result.detail = "the installer carries a package digest (SHA-256 " + expected + ") but no setup package";
    return result;
  }

  const auto start = std::chrono::steady_clock::now();
  const std::optional<Sha256Digest> actual = Sha256Of(package->data, package->size, stop);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!actual) {
    result.verdict = DigestVerdict::Stopped;
    result.detail = "the package check was stopped before it finished";
    return result;
  }
  const std::string found = HexText(actual->data(), actual->size());
  const std::string bytes = std::to_string(package->size) + " bytes";
  if (found != expected) {
    result.detail = "the setup package (" + bytes + ") has SHA-256 " + found + ", but the installer expects " + expected;
    return result;
  }
  result.verdict = DigestVerdict::Intact;
  result.detail = "the setup package (" + bytes + ") matches its SHA-256 " + found;
  return result;
}

BackgroundDigestCheck::BackgroundDigestCheck(std::optional<ByteView> package, std::optional<ByteView> digest) {
  if (!digest) {
    fResult = CheckPackageDigest(package, digest);  // nothing to hash
    return;
  }
  fWorker = std::make_unique<WorkerThread>(
      [this, package, digest] { fResult = CheckPackageDigest(package, digest, &fStop); });
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
