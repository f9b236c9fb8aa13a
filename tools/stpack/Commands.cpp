#include "tools/stpack/Commands.h"

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

#include "crypt/SuiteCipher.h"
#include "datatable/TextConvert.h"
#include "package/PackageDigest.h"
#include "package/PackageCodec.h"
#include "package/PackageError.h"
#include "package/PackageExtractor.h"
#include "package/PackageFileSystem.h"
#include "package/PackageManifest.h"
#include "package/PackageReader.h"
#include "pe/PeImage.h"
#include "pe/PeIo.h"
#include "pe/ResourceBuilders.h"
#include "settings/Language.h"
#include "settings/ProductSettings.h"
#include "text/Error.h"
#include "tools/stpack/Console.h"
#include "tools/stpack/InstallerPackage.h"
#include "tools/stpack/PackageItems.h"
#include "tools/stpack/PartialFiles.h"
#include "tools/stpack/ProductFolder.h"
#include "tools/stpack/ProgressBar.h"
#include "tools/stpack/ShellQuote.h"
#include "text/Unicode.h"
#include "uninstall/UninstallList.h"

namespace vo::stpack {
namespace {

namespace fs = std::filesystem;

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

std::string Pad(std::string text, size_t width, bool right) {
  if (text.size() >= width) return text;
  std::string padding(width - text.size(), ' ');
  return right ? padding + text : text + padding;
}

// A small text file (the manifest), read whole.
std::string ReadWholeFile(PackageFileSystem& files, const std::u16string& path) {
  std::unique_ptr<PackageInputFile> input = files.OpenForReading(path);
  const int64_t size = input->Size();
  if (size > std::numeric_limits<int32_t>::max()) {
    throw ToolError(Quoted(path) + " has " + std::to_string(size) + " bytes, too many for a manifest");
  }
  std::string data(static_cast<size_t>(size), '\0');
  if (input->Read(data.data(), data.size()) != data.size()) {
    throw ToolError(Quoted(path) + " changed while it was read");
  }
  return data;
}

// The package's members, or a clear error for a file without a table.
std::vector<PackageEntry> ReadEntries(PackageFileSystem& files, const std::u16string& package) {
  std::optional<std::vector<PackageEntry>> entries = ReadPackageEntries(files, package, u"");
  if (!entries) {
    throw ToolError(Quoted(package) + " is not a setup package: its last bytes do not point to a file table");
  }
  return *entries;
}

bool EndsWithSeparator(const std::u16string& path) {
  return !path.empty() && (path.back() == u'\\' || path.back() == u'/');
}

std::vector<SourceItem> ItemsFromManifest(PackageFileSystem& files, const std::u16string& manifest) {
  const std::string bytes = ReadWholeFile(files, manifest);
  size_t badByte = 0;
  std::optional<std::u16string> text = Utf8ToUtf16(bytes, &badByte);
  if (!text) {
    throw ToolError(U8(manifest) + ": byte " + std::to_string(badByte) + " is not UTF-8 (save the manifest as UTF-8)");
  }
  std::vector<SourceItem> items;
  const fs::path base = fs::path(manifest).parent_path();
  for (ManifestEntry& entry : ParseManifest(*text, manifest)) {
    std::u16string source = entry.sourceFile;
#ifndef _WIN32
    std::replace(source.begin(), source.end(), u'\\', u'/');
#endif
    SourceItem item;
    item.path = (base / fs::path(source)).u16string();
    item.place = U8(manifest) + ":" + std::to_string(entry.line);
    item.entry = std::move(entry);
    items.push_back(std::move(item));
  }
  return items;
}

// The walk of a payload folder. Links are followed: a link to a file packs
// that file under the link's name, a link to a folder packs the folder's
// files under the link's path. Each file is packed once: a file reached by
// two paths (two links to it, or a link to a folder that is packed anyway)
// is refused with both paths, since two install places for one file are
// almost always a mistake in the tree. A link to a folder that contains it is
// a loop, and a link to nothing is an error; both name the link.
class TreeWalk {
 public:
  TreeWalk(const fs::path& output) {
    std::error_code ec;
    fOutput = fs::weakly_canonical(output, ec);
    fPartial = fs::weakly_canonical(fs::path(output.u16string() + u".partial"), ec);
  }

  void Folder(const fs::path& folder, std::vector<fs::path>& chain) {
    std::error_code ec;
    // Listed one folder at a time, so that an error names the folder it
    // happened in, not the payload folder.
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(it->path());
    if (ec) throw ToolError("cannot list folder " + Quoted(folder.u16string()) + ": " + ec.message());
    std::sort(entries.begin(), entries.end());
    for (const fs::path& path : entries) Entry(path, chain);
  }

  std::vector<fs::path> found;

 private:
  void Entry(const fs::path& path, std::vector<fs::path>& chain) {
    std::error_code ec;
    const fs::file_status own = fs::symlink_status(path, ec);
    if (ec) throw ToolError("cannot read " + Quoted(path.u16string()) + ": " + ec.message());
    const bool link = fs::is_symlink(own);
    const fs::file_status target = link ? fs::status(path, ec) : own;
    if (link && (ec || !fs::exists(target))) {
      throw ToolError("link " + Quoted(path.u16string()) + " points to " + Quoted(LinkTarget(path)) +
                      ", which does not exist; remove the link or make its target");
    }
    if (fs::is_directory(target)) {
      const fs::path canonical = fs::canonical(path, ec);
      if (ec) throw ToolError("cannot follow " + Quoted(path.u16string()) + ": " + ec.message());
      if (std::find(chain.begin(), chain.end(), canonical) != chain.end()) {
        throw ToolError("link " + Quoted(path.u16string()) + " points to " + Quoted(LinkTarget(path)) +
                        ", a folder that contains it: a loop; remove the link");
      }
      chain.push_back(canonical);
      Folder(path, chain);
      chain.pop_back();
      return;
    }
    if (!fs::is_regular_file(target)) return;  // devices, pipes and sockets are no payload
    const fs::path canonical = fs::weakly_canonical(path, ec);
    if (canonical == fOutput || canonical == fPartial) return;  // never pack our own output
    auto [it, added] = fSeen.emplace(canonical, path);
    if (!added) {
      throw ToolError(Quoted(path.u16string()) + " and " + Quoted(it->second.u16string()) +
                      " are the same file, reached through a link; each file is packed once, so remove one of them");
    }
    found.push_back(path);
  }

  static std::u16string LinkTarget(const fs::path& link) {
    std::error_code ec;
    return fs::read_symlink(link, ec).u16string();
  }

  fs::path fOutput, fPartial;
  std::map<fs::path, fs::path> fSeen;  // canonical path -> the path it was first reached by
};

std::vector<SourceItem> ItemsFromTree(const std::u16string& root, const std::u16string& output) {
  TreeWalk walk{fs::path(output)};
  std::error_code ec;
  std::vector<fs::path> chain = {fs::canonical(fs::path(root), ec)};
  if (ec) throw ToolError("cannot list folder " + Quoted(root) + ": " + ec.message());
  walk.Folder(fs::path(root), chain);
  std::vector<fs::path> found = std::move(walk.found);
  std::sort(found.begin(), found.end());

  std::vector<SourceItem> items;
  for (const fs::path& path : found) {
    const fs::path relative = path.lexically_relative(fs::path(root));
    std::vector<std::u16string> parts;
    for (const fs::path& part : relative) parts.push_back(part.u16string());
    SourceItem item;
    item.place = U8(relative.generic_u16string());
    try {
      item.entry = EntryFromTreePath(parts);
    } catch (const InvalidArgument& e) {
      throw ToolError(U8(root) + ": " + item.place + ": " + e.what());
    }
    item.path = path.u16string();
    items.push_back(std::move(item));
  }
  return items;
}

// The file a member lands on, as a key that is equal for two members exactly
// when they land on the same file: below the install folder, ASCII letters
// in lower case, and without the trailing dots and spaces Windows drops from
// a name it creates ("a.txt." lands on "a.txt").
std::u16string InstalledFileKey(const ManifestEntry& entry) {
  std::u16string key = (entry.useInstallDir ? std::u16string() : entry.targetFolder) + entry.fileName;
  while (!key.empty() && (key.back() == u'.' || key.back() == u' ')) key.pop_back();
  for (char16_t& c : key) {
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  }
  return key;
}

// Every source exists and no two members install to the same path; checked
// before the output is created.
void CheckItems(PackageFileSystem& files, const std::vector<SourceItem>& items) {
  std::map<std::u16string, std::string> targets;
  for (const SourceItem& item : items) {
    if (!files.FileExists(item.path)) {
      throw ToolError(item.place + ": source file " + Quoted(item.path) + " does not exist or is not a file");
    }
    auto [it, added] = targets.emplace(InstalledFileKey(item.entry), item.place);
    if (!added) {
      const std::u16string target =
          (item.entry.useInstallDir ? std::u16string() : item.entry.targetFolder) + item.entry.fileName;
      throw ToolError(item.place + ": " + Quoted(target) + " is installed twice (also by " + it->second + ")");
    }
  }
}

// The uninstaller as it goes into the package: a copy with the product's
// version block in place of its own, which names the tool's maker and
// version. The copy is what is packed and hashed; the file itself is only
// read. Writing the resources breaks any signature, so the copy has no
// certificate (the stamper leaves it out), and warnings says so.
std::string StampedUninstaller(PackageFileSystem& files, const std::u16string& path,
                               const ProductSettingsFile& settings, std::vector<std::string>& warnings) {
  const std::string name = "uninstaller " + Quoted(path);
  std::unique_ptr<PackageInputFile> input = files.OpenForReading(path);
  std::string bytes(size_t(input->Size()), '\0');
  bytes.resize(input->Read(bytes.data(), bytes.size()));  // a file cut short meanwhile is no program
  input.reset();
  pe::MemorySource program(std::move(bytes));
  pe::MemorySink copy;
  try {
    const pe::PeImage image = pe::PeImage::Parse(program);
    if (image.Directory(pe::kCertificateTable).size != 0) {
      warnings.push_back(name + ": the uninstaller is signed; its certificate is dropped, since the packed copy "
                         "carries the product's version block and so differs from the signed bytes");
    }
    pe::StampResources(image, program,
                       {ProductVersionResource(settings, u"Uninstaller", std::u16string(kUninstallerFileName))}, copy);
  } catch (const pe::PeError& e) {
    throw ToolError(name + ": is not a program stpack can write the product's version block into: " + e.what());
  }
  return copy.Bytes();
}

// The uninstaller and its list as the two members that follow the source's
// members. Checks first that the source does not install files of the same
// names, that the program exists and that the product settings make a list.
std::vector<SourceItem> UninstallerItems(PackageFileSystem& files, const std::vector<SourceItem>& items,
                                         const UninstallerSource& uninstaller, const ProductSettingsFile& settings,
                                         const std::string& settingsName, std::vector<std::string>& warnings) {
  for (const std::u16string name : {kUninstallerFileName, kUninstallListFileName}) {
    ManifestEntry added;
    added.fileName = name;
    const std::u16string addedKey = InstalledFileKey(added);
    for (const SourceItem& item : items) {
      if (InstalledFileKey(item.entry) == addedKey) {
        throw ToolError(item.place + ": this member installs to " + Quoted(name) +
                        " in the install folder, where stpack puts the uninstaller it adds to every package; drop "
                        "it, or build with --no-uninstaller to ship your own");
      }
    }
  }

  const char* const remedy = ": pass --uninstaller FILE, or --no-uninstaller to build a package without one";
  if (uninstaller.programIsDefault && uninstaller.program.empty()) {
    throw ToolError(std::string("cannot tell which folder stpack runs from to find Uninst.exe there") + remedy);
  }
  if (!files.FileExists(uninstaller.program)) {
    throw ToolError((uninstaller.programIsDefault ? "no uninstaller beside stpack (" + Quoted(uninstaller.program) +
                                                        " does not exist)"
                                                  : "uninstaller " + Quoted(uninstaller.program) +
                                                        " does not exist or is not a file") +
                    remedy);
  }

  std::vector<UninstallMember> members;
  for (const SourceItem& item : items) {
    members.push_back({item.entry.targetFolder, item.entry.fileName, item.entry.useInstallDir});
  }
  members.push_back({u"", kUninstallerFileName, false});
  members.push_back({u"", kUninstallListFileName, false});
  std::string list;
  try {
    list = BuildUninstallList(members, ReadUninstallListProduct([&](int id) { return settings.Setting(id); }));
  } catch (const EUninstallList& e) {
    throw ToolError(settingsName + ": " + e.what());
  }

  SourceItem program;
  program.entry.fileName = kUninstallerFileName;
  program.path = uninstaller.program;
  program.place = "uninstaller " + Quoted(uninstaller.program);
  program.data = StampedUninstaller(files, uninstaller.program, settings, warnings);
  SourceItem listItem;
  listItem.entry.fileName = kUninstallListFileName;
  listItem.place = "uninstall list made from " + settingsName;
  listItem.data = std::move(list);
  return {program, listItem};
}

// Each member's size, and a clear refusal before the output is created when
// a member or the sum of all members passes what the format can carry (the
// package's own size is only known while it is written; the writer checks it
// then). Returns the sum.
int64_t MeasureItems(PackageFileSystem& files, std::vector<SourceItem>& items) {
  constexpr int64_t kLimit = std::numeric_limits<int32_t>::max();
  int64_t total = 0;
  for (SourceItem& item : items) {
    if (item.data) {
      item.size = int64_t(item.data->size());
    } else {
      try {
        item.size = files.OpenForReading(item.path)->Size();
      } catch (const EPackageError& e) {
        throw ToolError(item.place + ": " + e.what());
      }
    }
    if (item.size > kLimit) {
      throw ToolError(item.place + ": source file " + Quoted(item.path) + " has " + std::to_string(item.size) +
                      " bytes; a member holds at most 2147483647 (split it, or leave it out of the package)");
    }
    total += item.size;
    if (total > kLimit) {
      throw ToolError(item.place + ": with this member the files add up to " + std::to_string(total) +
                      " bytes; a package holds at most 2147483647 (make two packages, or leave files out)");
    }
  }
  return total;
}

std::string CipherName(int index) {
  try {
    return CreateCipherByIndex(uint8_t(index))->GetAlgorithm();
  } catch (const std::exception&) {
    return "?";
  }
}

std::string HashName(int index) {
  try {
    return CreateHashByIndex(uint8_t(index))->GetAlgorithm();
  } catch (const std::exception&) {
    return "?";
  }
}

// Reads the folders a file system is asked to create and the files it
// writes, but writes nothing: what `verify` runs the extractor on.
class VerifyingFileSystem final : public PackageFileSystem {
 public:
  explicit VerifyingFileSystem(PackageFileSystem& real) : fReal(real) {}
  int64_t bytesChecked = 0;
  int membersChecked = 0;

  bool FolderExists(const std::u16string&) override { return true; }
  bool FileExists(const std::u16string&) override { return false; }  // so that no member is skipped
  void CreateFolders(const std::u16string&) override {}
  std::unique_ptr<PackageInputFile> OpenForReading(const std::u16string& path) override {
    return fReal.OpenForReading(path);
  }
  std::unique_ptr<PackageOutputFile> CreateForWriting(const std::u16string&) override {
    ++membersChecked;
    return std::make_unique<Sink>(*this);
  }
  std::u16string SystemFolder() override { return u"$System$\\"; }
  void MoveReplacing(const std::u16string&, const std::u16string&) override {}
  bool RemoveFile(const std::u16string&) override { return false; }
  bool IsLink(const std::u16string&) override { return false; }

 private:
  class Sink final : public PackageOutputFile {
   public:
    explicit Sink(VerifyingFileSystem& owner) : fOwner(owner) {}
    void Write(const void*, size_t count) override { fOwner.bytesChecked += int64_t(count); }
    void WriteAt(int64_t, const void*, size_t) override {}
    bool TruncateToEmpty() override { return true; }

   private:
    VerifyingFileSystem& fOwner;
  };

  PackageFileSystem& fReal;
};

}  // namespace

std::vector<SourceItem> CollectPackageItems(PackageFileSystem& files, const std::u16string& source,
                                            const std::u16string& output,
                                            const std::optional<UninstallerSource>& uninstaller,
                                            const ProductSettingsFile* settings, const std::string& settingsName,
                                            std::vector<std::string>& warnings) {
  std::error_code ec;
  const bool fromTree = fs::is_directory(fs::path(source), ec);
  if (!fromTree && !files.FileExists(source)) throw ToolError(Quoted(source) + " is neither a manifest file nor a folder");
  std::vector<SourceItem> items = fromTree ? ItemsFromTree(source, output) : ItemsFromManifest(files, source);
  CheckItems(files, items);
  if (uninstaller) {
    for (SourceItem& item : UninstallerItems(files, items, *uninstaller, *settings, settingsName, warnings)) {
      items.push_back(std::move(item));
    }
  }
  return items;
}

pe::NewResource ProductVersionResource(const ProductSettingsFile& settings, const std::u16string& role,
                                       const std::u16string& fileName) {
  constexpr uint16_t kLanguageEnglishUs = 1033;
  const std::u16string name = settings.Setting(kSettingProductNameEn);
  const std::u16string version = settings.Setting(kSettingProductVersion);
  std::u16string publisher = settings.Setting(kSettingPublisherEn);
  if (publisher.empty()) publisher = DefaultPublisher(kUiEnglish);
  pe::VersionInfo info;
  // The file version is the product's too, for the uninstaller as for the
  // installer, not the prebuilt program's own: the installed Uninst.exe is
  // part of the product's release, and its properties would otherwise pair
  // the product's name with the tool's version, which means nothing to the
  // product's users.
  info.fileVersion = info.productVersion = pe::ParseVersionNumbers(version);
  info.strings = {{u"CompanyName", publisher},
                  {u"FileDescription", name + u" " + role},
                  {u"FileVersion", version},
                  {u"InternalName", fileName},
                  {u"LegalCopyright", u"Copyright (C) " + publisher},
                  {u"OriginalFilename", fileName},
                  {u"ProductName", name},
                  {u"ProductVersion", version}};
  // The texts are the English settings, so the block is US English, as the
  // string table MakeVersionResource writes says; it replaces the program's
  // own block under every language.
  return pe::MakeVersionResource(info, kLanguageEnglishUs);
}

PackageStats WritePackageFile(PackageFileSystem& files, const std::vector<SourceItem>& items,
                              const std::u16string& path, const PackageWriterOptions& options,
                              const std::function<void(const void*, size_t)>& onBytes) {
  // Every byte of the package passes here on its way out, for a digest.
  class ObservedOutput final : public PackageOutputFile {
   public:
    ObservedOutput(PackageOutputFile& real, const std::function<void(const void*, size_t)>& onBytes)
        : fReal(real), fOnBytes(onBytes) {}
    void Write(const void* data, size_t count) override {
      // Ctrl-C on Windows: give up here, and the caller removes the partial file.
      if (InterruptRequested()) throw ToolError("interrupted");
      fReal.Write(data, count);
      if (fOnBytes) fOnBytes(data, count);
    }
    void WriteAt(int64_t, const void*, size_t) override { throw LogicError("a package is written front to back"); }
    bool TruncateToEmpty() override { return false; }  // a failed package is discarded, never cut back

   private:
    PackageOutputFile& fReal;
    const std::function<void(const void*, size_t)>& fOnBytes;
  };

  std::vector<SourceItem> measured = items;
  const int64_t totalBytes = MeasureItems(files, measured);
  PackageStats stats;
  ProgressBar bar;
  std::unique_ptr<PackageOutputFile> file = files.CreateForWriting(path);
  ObservedOutput out(*file, onBytes);
  PackageWriter writer(out, options);
  for (const SourceItem& item : measured) {
    bar.Update(totalBytes ? int(int64_t(stats.unpackedBytes) * 100 / totalBytes) : 0,
               U8(item.entry.targetFolder + item.entry.fileName));
    try {
      if (item.data) {
        writer.AddMember(item.entry.targetFolder, item.entry.fileName, item.entry.useInstallDir, item.data->data(),
                         item.data->size());
      } else {
        std::unique_ptr<PackageInputFile> input = files.OpenForReading(item.path);
        writer.AddMember(item.entry.targetFolder, item.entry.fileName, item.entry.useInstallDir, *input);
      }
    } catch (const InvalidArgument& e) {  // a name the package refuses
      throw ToolError(item.place + ": " + e.what());
    } catch (const LengthError& e) {  // a member past the package's size
      throw ToolError(item.place + ": " + e.what());
    } catch (const LogicError&) {
      throw;  // the writer used wrongly: a fault of this program, not of the member
    } catch (const Error& e) {  // the member cannot be read or packed
      throw ToolError(item.place + ": " + e.what());
    } catch (const std::length_error& e) {  // the same, raised by the standard library
      throw ToolError(item.place + ": " + e.what());
    } catch (const std::runtime_error& e) {
      throw ToolError(item.place + ": " + e.what());
    }
    stats.unpackedBytes += uint64_t(item.size);
  }
  writer.Finish();
  bar.Update(100, "");
  stats.members = items.size();
  stats.packedBytes = writer.BytesWritten();
  return stats;
}

std::string PackageSummary(const PackageStats& stats, const PackageWriterOptions& options) {
  return std::to_string(stats.members) + " member" + (stats.members == 1 ? "" : "s") + ", " +
         std::to_string(stats.unpackedBytes) + " bytes packed into " + std::to_string(stats.packedBytes) +
         " (cipher " + std::to_string(options.cipherIndex) + " " + CipherName(options.cipherIndex) + ", hash " +
         std::to_string(options.hashIndex) + " " + HashName(options.hashIndex) + ", " + CodecName(options.codec) +
         " level " + std::to_string(options.codec == PackageCodec::Zstd ? kZstdLevel : options.level) + ")";
}

PackageCodec ChooseCodec(const std::optional<PackageCodec>& commandLine, const ProductSettingsFile* settings,
                         PackageCodec fallback) {
  if (commandLine) return *commandLine;
  if (settings && !settings->compression.empty()) return CodecFromName(settings->compression).value_or(fallback);
  return fallback;
}

void BuildPackage(const std::u16string& source, const std::u16string& output, const PackageWriterOptions& givenOptions,
                  const std::optional<UninstallerSource>& uninstaller, const std::optional<PackageCodec>& compression) {
  std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
  std::optional<ProductSettingsFile> settings;
  if (uninstaller) settings = ReadProductSettingsFile(*files, uninstaller->productSettings);
  PackageWriterOptions options = givenOptions;
  options.codec = ChooseCodec(compression, settings ? &*settings : nullptr, givenOptions.codec);
  std::vector<std::string> warnings;
  std::vector<SourceItem> items = CollectPackageItems(*files, source, output, uninstaller, settings ? &*settings : nullptr,
                                                      uninstaller ? U8(uninstaller->productSettings) : "", warnings);
  CheckWriterOptions(options);  // before any file is created
  for (const std::string& warning : warnings) PrintErr("stpack: warning: " + warning + "\n");

  const std::u16string partial = output + u".partial";
  const PartialFileGuard partialGuard(partial);
  PackageStats stats;
  try {
    stats = WritePackageFile(*files, items, partial, options, nullptr);
    files->MoveReplacing(partial, output);
  } catch (...) {
    files->RemoveFile(partial);
    throw;
  }
  std::string summary = PackageSummary(stats, options);
  if (uninstaller) summary.insert(summary.find(','), " (uninstaller added)");
  PrintOut(U8(output) + ": " + summary + "\n");
}

void InitProductFolder(const std::u16string& folder, const std::u16string& publisher, const std::u16string& homePage) {
  std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
  std::u16string root = folder;
  while (root.size() > 1 && EndsWithSeparator(root)) root.pop_back();
  const std::u16string ini = root + u"/product.ini";
  if (files->FileExists(ini)) {
    throw ToolError(U8(ini) + ": already exists; stpack init leaves an existing product folder alone (make its "
                    "installer with `stpack make " + QuoteForShell(U8(root)) + "`)");
  }
  // The folder's own name is the first guess for the program and the product.
  std::u16string name = fs::path(root).filename().u16string();
  if (name.empty() || name.find_first_of(u"\\/:*?\"<>|.") != std::u16string::npos) name = u"MyProduct";

  files->CreateFolders(root + u"/payload/");
  if (!files->FolderExists(root + u"/payload/")) throw ToolError(U8(root) + ": cannot create the folder payload/ there");
  const std::string text = ProductSettingsTemplate(U8(name), U8(publisher), U8(homePage));
  const std::u16string partial = ini + u".partial";
  const PartialFileGuard partialGuard(partial);
  try {
    {
      std::unique_ptr<PackageOutputFile> out = files->CreateForWriting(partial);
      out->Write(text.data(), text.size());
    }
    files->MoveReplacing(partial, ini);
  } catch (...) {
    files->RemoveFile(partial);
    throw;
  }
  PrintOut("Started a product folder in " + U8(root) + ":\n"
           "  1. put the product's files into " + U8(root) + "/payload/ (the program as " + U8(name) + ".exe),\n"
           "  2. check the settings in " + U8(ini) + ",\n"
           "  3. run `stpack make " + QuoteForShell(U8(root)) + "`.\n");
}

void ListPackage(const std::u16string& package) {
  PackageSource source = OpenPackageSource(package);
  if (source.installerCheck && !source.installerCheck->intact) {
    PrintErr("stpack: warning: " + U8(package) + ": the installer is damaged (it would refuse to run): " +
             source.installerCheck->detail + "\n");
  }
  std::unique_ptr<PackageFileSystem>& files = source.files;
  std::string codec;
  std::string sealedBy;
  {
    std::unique_ptr<PackageInputFile> input = files->OpenForReading(package);
    std::optional<std::string> text = ReadTableText(*input, package);
    if (text) codec = std::string(", ") + CodecName(ReadPackageCodec(*input, package)) + " members";
    if (text && text->size() >= 10) {
      const int cipher = uint8_t((*text)[3]) - uint8_t((*text)[8]);
      const int hash = uint8_t((*text)[4]) - uint8_t((*text)[9]);
      sealedBy = ", table sealed with cipher " + std::to_string(cipher) + " " + CipherName(cipher) + " and hash " +
                 std::to_string(hash) + " " + HashName(hash);
    }
  }
  std::vector<PackageEntry> entries = ReadEntries(*files, package);
  int64_t packed = 0;
  int64_t unpacked = 0;
  for (const PackageEntry& e : entries) packed += e.packedSize, unpacked += e.unpackedSize;

  std::string out = U8(package) + ": " + std::to_string(entries.size()) + " member" + (entries.size() == 1 ? "" : "s") +
                    ", " + std::to_string(packed) + " bytes packed, " + std::to_string(unpacked) + " unpacked" +
                    codec + sealedBy + "\n";
  out += Pad("#", 5, true) + Pad("Offset", 12, true) + Pad("Packed", 12, true) + Pad("Unpacked", 12, true) + "  " +
         Pad("Flags", 15, false) + Pad("Target folder", 20, false) + "File name\n";
  for (size_t i = 0; i < entries.size(); ++i) {
    const PackageEntry& e = entries[i];
    std::string flags = e.useInstallDir ? "UseInstallDir" : e.systemFolderRow ? "keep-existing" : "";
    std::string folder = e.targetFolder.empty() ? "(install folder)" : U8(e.targetFolder);
    out += Pad(std::to_string(i + 1), 5, true) + Pad(std::to_string(e.offset), 12, true) +
           Pad(std::to_string(e.packedSize), 12, true) + Pad(std::to_string(e.unpackedSize), 12, true) + "  " +
           Pad(flags, 15, false) + Pad(folder, 20, false) + U8(e.fileName) + "\n";
  }
  PrintOut(out);
}

void ExtractPackageTo(const std::u16string& package, const std::u16string& folder,
                      const std::optional<std::u16string>& systemFolder) {
  // Folders end in the platform's own separator, so that what is printed is
  // what the user would type.
#ifdef _WIN32
  const char16_t separator = u'\\';
#else
  const char16_t separator = u'/';
#endif
  std::u16string installDir = folder;
  if (!EndsWithSeparator(installDir)) installDir += separator;
  std::u16string system = systemFolder ? *systemFolder : installDir + u"System" + separator;
  if (!EndsWithSeparator(system)) system += separator;

  PackageSource source = OpenPackageSource(package, system);
  std::unique_ptr<PackageFileSystem>& files = source.files;
  std::vector<PackageEntry> entries = ReadEntries(*files, package);
  {
    ProgressBar bar;
    ExtractPackage(package, installDir, u"", [&](int32_t percent) { bar.Update(percent); }, *files);
  }
  PrintOut(U8(package) + ": " + std::to_string(entries.size()) + " member" + (entries.size() == 1 ? "" : "s") +
           " extracted to " + U8(installDir) + " (system folder " + U8(system) + ")\n");
}

void VerifyPackage(const std::u16string& package) {
  PackageSource source = OpenPackageSource(package);
  std::unique_ptr<PackageFileSystem>& files = source.files;
  std::string digestNote;
  if (source.installerCheck) {
    // The installer's own two checks, in its order: everything outside the
    // package at start-up, the package before the first write.
    const InstallerCheck& check = *source.installerCheck;
    if (!check.intact) throw ToolError(U8(package) + ": the installer is damaged: " + check.detail);
    const Sha256Digest& expected = check.digest.package;
    const DigestCheckResult result = CheckPackageDigest(
        [&]() { return files->OpenForReading(package); }, ByteView{expected.data(), expected.size()});
    if (result.verdict != DigestVerdict::Intact) throw ToolError(U8(package) + ": the installer is damaged: " + result.detail);
    digestNote = ", the whole installer matches its SHA-256 digests";
  }
  std::vector<PackageEntry> entries = ReadEntries(*files, package);
  VerifyingFileSystem verifier(*files);
  {
    ProgressBar bar;
    ExtractPackage(package, u"", u"", [&](int32_t percent) { bar.Update(percent); }, verifier);
  }
  PrintOut(U8(package) + ": OK, " + std::to_string(verifier.membersChecked) + " member" +
           (verifier.membersChecked == 1 ? "" : "s") + " inflated and checked, " +
           std::to_string(verifier.bytesChecked) + " bytes" + digestNote + "\n");
}

}  // namespace vo::stpack
