#pragma once
// The byte seams of the PE module and its one error type.
//
// The module never opens files. It reads a program through a Source (random
// access, exact reads) and writes the new program through a Sink (sequential
// writes, plus WriteAt to patch bytes already written, which is how the
// checksum lands in the headers after the last byte has gone out). The tool
// adapts its own file classes to these two; the tests and the fuzzer use the
// in-memory ones below.
//
// Resource data can be far larger than memory should hold (a setup package of
// 1.5 GB), so data moves from a Source to a Sink with CopyRange, in chunks of
// kCopyChunkSize bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "text/Error.h"

namespace vo::pe {

// Every fault the module reports: a malformed image, resource tree or icon
// file, a layout that cannot be written, a short read. The message names the
// part of the file and the fault, e.g. "section 3 (.rdata): raw data
// 0x7aa00+0x19400 runs past the end of the file (0x8a000 bytes)"; the caller
// prefixes the file's name.
class PeError : public Error {
 public:
  using Error::Error;
};

class Source {
 public:
  virtual ~Source() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly count bytes at offset; raises (PeError or the adapter's own
  // error) when fewer are there.
  virtual void ReadAt(uint64_t offset, void* buffer, size_t count) = 0;
};

class Sink {
 public:
  virtual ~Sink() = default;
  // Appends all count bytes; raises when they cannot all be written.
  virtual void Write(const void* data, size_t count) = 0;
  // Overwrites count bytes already written at offset.
  virtual void WriteAt(uint64_t offset, const void* data, size_t count) = 0;
};

constexpr size_t kCopyChunkSize = size_t(1) << 20;

// Copies count bytes of from, starting at offset, to the end of to.
void CopyRange(Source& from, uint64_t offset, uint64_t count, Sink& to);

class MemorySource final : public Source {
 public:
  explicit MemorySource(std::string bytes) : fBytes(std::move(bytes)) {}
  uint64_t Size() const override { return fBytes.size(); }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override;
  const std::string& Bytes() const { return fBytes; }

 private:
  std::string fBytes;
};

class MemorySink final : public Sink {
 public:
  void Write(const void* data, size_t count) override;
  void WriteAt(uint64_t offset, const void* data, size_t count) override;
  const std::string& Bytes() const { return fBytes; }

 private:
  std::string fBytes;
};

// Counts what is written and keeps none of it (dry runs, the fuzzer).
class NullSink final : public Sink {
 public:
  void Write(const void*, size_t count) override { fSize += count; }
  void WriteAt(uint64_t offset, const void*, size_t count) override;
  uint64_t Size() const { return fSize; }

 private:
  uint64_t fSize = 0;
};

// "0x1a2b": how offsets and sizes appear in messages.
std::string FormatHex(uint64_t value);

}  // namespace vo::pe
