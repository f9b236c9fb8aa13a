#pragma once
// `ExtractPackage`: turns a setup package file into installed files.
//
// It opens the package (no sharing), reads and decrypts its file table, and
// walks the rows in order with one forward-moving read position. A row's
// target folder is
//   - installFolder when the row has a fifth cell that reads true
//     (UseInstallDir);
//   - for a TargetFolder beginning with "$System$" or "$Third$" in any
//     letter case (a system-folder row): the system folder followed by the
//     rest of the text;
//   - otherwise installFolder followed directly by TargetFolder.
// Before any folder or file is made (the install folder included), every
// row is checked against the rule of MemberPath.h: a row whose target would
// leave its base folder, or could not be created as written, fails the
// whole package with a table error naming the member. Missing folders are
// created. A system-folder row whose file already exists
// is skipped (never overwritten) with one forward seek; every other member is
// streamed: its file is created with CREATE_ALWAYS, and its packed bytes are
// read, decoded and written through fixed buffers (MemberInflater for zlib,
// MemberZstdDecoder for zstd, as the tail's codec mark says: PackageCodec.h),
// so the memory used does not grow with the size of a member. The target name is
// the part of FileName after its last "\", "/" or ":".
//
// After each written member the progress callback gets done / total * 100
// rounded to the nearest integer, ties to even (total: the sum of all
// unpacked sizes; done: those of the rows handled so far, skipped ones
// included). When every size is 0 the share of rows handled is reported.
//
// Every failure raises EPackageError after the package file is closed; files
// written before it stay. A member that fails after its file was created
// leaves that file empty: bytes already written of it are cut away again,
// whatever the failure (a damaged or short stream, a read error, and also a
// write error such as a full disk). A package whose length field is not
// smaller than the file extracts nothing and raises nothing.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "package/PackageFileSystem.h"

namespace vo {

// Receives the percentage done, 0 to 100.
using ExtractProgressCallback = std::function<void(int32_t percent)>;

// The installer's entry point, on the platform's real file API (Win32:
// CreateFileW without sharing). installFolder ends in a backslash (it is
// prefixed directly to target folders). "$System$" and "$Third$" stand for
// GetSystemDirectoryW's folder with a backslash added; the native build has
// no system folder and leaves them empty. progress may be empty.
//
//   vo::ExtractPackage(installFolder + u"Setup.stp", installFolder, u"",
//                      [&](int32_t percent) { SetBarPosition(percent); });
void ExtractPackage(const std::u16string& packageFile, const std::u16string& installFolder,
                    const std::u16string& passphrase, const ExtractProgressCallback& progress);

// The same through a given file system (tests, the fuzzer, the package tool's
// extract and verify); "$System$" and "$Third$" stand for
// fileSystem.SystemFolder(). A caller that has its own system folder text
// passes *CreatePlatformFileSystem(thatFolder).
void ExtractPackage(const std::u16string& packageFile, const std::u16string& installFolder,
                    const std::u16string& passphrase, const ExtractProgressCallback& progress,
                    PackageFileSystem& fileSystem);

// The same on a package that is already open, read in place: the installer
// extracts straight from its own file, through the handle it checked it
// with. packageName names it in messages.
void ExtractPackage(std::unique_ptr<PackageInputFile> package, const std::u16string& packageName,
                    const std::u16string& installFolder, const std::u16string& passphrase,
                    const ExtractProgressCallback& progress, PackageFileSystem& fileSystem);

// The target folder of a row, as ExtractPackage resolves it; exposed for the
// package tool's listing; for rows the rule of MemberPath.h accepts.
// systemFolder is asked only for system-folder rows.
std::u16string ResolveTargetFolder(const std::u16string& targetFolder, bool useInstallDir,
                                   const std::u16string& installFolder,
                                   const std::function<std::u16string()>& systemFolder);

// The part of a file name after its last "\", "/" or ":".
std::u16string TargetFileName(const std::u16string& fileName);

}  // namespace vo
