#pragma once
// The one error kind the package code raises. Its kind tells the caller what
// went wrong (the installer shows one fixed message for all of them; the
// package tool prints the text, which names the file, the member and the
// cause).

#include <string>

#include "text/Error.h"

namespace vo {

enum class PackageErrorKind {
  Open,        // the package (or a source file) cannot be opened
  Read,        // the package is shorter than its tail, table or a member needs
  Table,       // the file table cannot be decrypted, parsed or read
  Create,      // a target file cannot be created
  Write,       // a target file does not take all of its bytes
  Decompress,  // a member is not the zlib stream or zstd frame its row describes, or its codec is unknown
  OutOfMemory, // a member's buffers cannot be allocated
};

class EPackageError : public Error {
 public:
  EPackageError(PackageErrorKind kind, const std::string& message) : Error(message), fKind(kind) {}
  PackageErrorKind Kind() const { return fKind; }

 private:
  PackageErrorKind fKind;
};

// "open", "read", "table", ... for messages and test names.
const char* PackageErrorKindName(PackageErrorKind kind);

// UTF-16 text (paths, file names) in quotes, as UTF-8, for messages.
std::string Quoted(const std::u16string& text);

}  // namespace vo
