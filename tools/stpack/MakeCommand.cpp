// `stpack make`: a product folder in, `<ExeName>Setup.exe` out.
//
// Everything is read and checked first: the product folder (settings,
// pictures, licence texts), the payload and the uninstaller, the stub. Then
// the package is written to a temporary file beside the output while its
// SHA-256 is taken, and the stub is stamped with the product's resources and
// the package into `<output>.partial`, which is renamed at the end. On any
// error the partial files are removed and an existing output stays as it
// was.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "crypt/SuiteCipher.h"
#include "package/InstallerDigest.h"
#include "package/PackageError.h"
#include "pe/PeImage.h"
#include "pe/PeIo.h"
#include "pe/PeResources.h"
#include "pe/ResourceBuilders.h"
#include "pe/ResourceStamper.h"
#include "settings/Language.h"
#include "settings/ProductSettings.h"
#include "text/Unicode.h"
#include "tools/stpack/PartialFiles.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/Console.h"
#include "tools/stpack/DefaultResources.h"
#include "tools/stpack/PackageItems.h"
#include "tools/stpack/ProductChecks.h"
#include "tools/stpack/ProductFolder.h"
#include "uninstall/UninstallList.h"

namespace vo::stpack {
namespace {

constexpr uint16_t kLanguageChinesePrc = 2052;
constexpr uint16_t kLanguageEnglishUs = 1033;
constexpr uint8_t kSha256Index = 3;
constexpr char16_t kStubFileName[] = u"SetupStub.exe";

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

// A package-code input file as the PE module's random-access source.
class FileSource final : public pe::Source {
 public:
  FileSource(std::unique_ptr<PackageInputFile> file, std::string name) : fFile(std::move(file)), fName(std::move(name)) {
    fSize = uint64_t(fFile->Size());
  }
  uint64_t Size() const override { return fSize; }
  void ReadAt(uint64_t offset, void* buffer, size_t count) override {
    if (offset > fSize || count > fSize - offset) {
      throw pe::PeError(fName + ": " + std::to_string(count) + " bytes at offset " + std::to_string(offset) +
                        " lie past its end");
    }
    fFile->Seek(int64_t(offset));
    if (fFile->Read(buffer, count) != count) throw pe::PeError(fName + ": the file ended early");
  }

 private:
  std::unique_ptr<PackageInputFile> fFile;
  std::string fName;
  uint64_t fSize = 0;
};

// A package-code output file as the PE module's sink.
class FileSink final : public pe::Sink {
 public:
  explicit FileSink(PackageOutputFile& file) : fFile(file) {}
  void Write(const void* data, size_t count) override { fFile.Write(data, count); }
  void WriteAt(uint64_t offset, const void* data, size_t count) override { fFile.WriteAt(int64_t(offset), data, count); }

 private:
  PackageOutputFile& fFile;
};

// The stub named on the command line, else SetupStub.exe beside the tool or
// in ../share/corvenna-setup/ (an installed tool's layout).
std::u16string FindStub(PackageFileSystem& files, const std::optional<std::u16string>& named) {
  if (named) {
    if (!files.FileExists(*named)) throw ToolError("stub " + Quoted(*named) + " does not exist or is not a file");
    return *named;
  }
  const std::u16string folder = ExecutableFolder();
  for (const std::u16string& candidate :
       {folder + kStubFileName, folder + u"../share/corvenna-setup/" + kStubFileName}) {
    if (!folder.empty() && files.FileExists(candidate)) return candidate;
  }
  throw ToolError("no installer stub beside stpack (looked for " + U8(folder + kStubFileName) + " and " +
                  U8(folder + u"../share/corvenna-setup/" + kStubFileName) + "): pass --stub SetupStub.exe");
}

// The uninstaller named on the command line, else Uninst.exe beside the tool
// or in ../share/corvenna-setup/.
UninstallerSource FindUninstaller(const std::optional<std::u16string>& named, const std::u16string& settingsPath) {
  UninstallerSource source;
  source.productSettings = settingsPath;
  if (named) {
    source.program = *named;
    return source;
  }
  source.programIsDefault = true;
  std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
  const std::u16string folder = ExecutableFolder();
  source.program = folder + kUninstallerFileName;
  const std::u16string shared = folder + u"../share/corvenna-setup/" + kUninstallerFileName;
  if (!folder.empty() && !files->FileExists(source.program) && files->FileExists(shared)) source.program = shared;
  return source;
}

std::u16string DefaultOutputName(const ProductFolder& product) {
  return product.settings.Setting(kSettingExeBaseName) + u"Setup.exe";
}

}  // namespace

void MakeInstaller(const MakeOptions& givenOptions) {
  std::unique_ptr<PackageFileSystem> files = CreatePlatformFileSystem();
  CheckWriterOptions(givenOptions.package);

  // Read and check everything before anything is written.
  ProductFolder product = ReadProductFolder(*files, givenOptions.productFolder, !givenOptions.uncheckedSettings);
  MakeOptions options = givenOptions;
  options.package.codec = ChooseCodec(options.compression, &product.settings, options.package.codec);
  CheckWriterOptions(options.package);
  const std::u16string output = options.output ? *options.output : DefaultOutputName(product);
  std::optional<UninstallerSource> uninstaller;
  if (!options.noUninstaller) {
    uninstaller = FindUninstaller(options.uninstaller, product.folder + u"product.ini");
  }
  std::vector<SourceItem> items = CollectPackageItems(*files, product.payload, output, uninstaller, &product.settings,
                                                      product.settingsName, product.warnings);
  // The payload's own members: the uninstaller and its list come last.
  std::vector<ManifestEntry> members;
  const size_t added = uninstaller ? 2 : 0;
  for (size_t i = 0; i + added < items.size(); ++i) members.push_back(items[i].entry);
  if (!options.uncheckedSettings) {
    CheckPayloadAgainstSettings(product.settings, product.settingsName, members, U8(product.payload));
  }
  const std::u16string stubPath = FindStub(*files, options.stub);
  const std::string stubName = U8(stubPath);
  FileSource stub(files->OpenForReading(stubPath), stubName);
  pe::PeImage stubImage;
  try {
    stubImage = pe::PeImage::Parse(stub);
    pe::ReadResources(stubImage, stub);
  } catch (const pe::PeError& e) {
    throw ToolError(stubName + ": is not an installer stub this tool can write into: " + e.what());
  }
  // Writing the resources breaks any signature, so the stamper leaves the
  // certificate out; a publisher who signed the stub should know.
  if (stubImage.Directory(pe::kCertificateTable).size != 0) {
    product.warnings.push_back(stubName + ": the stub is signed; its certificate is dropped, since the installer's "
                               "bytes differ from it: sign the installer after making it");
  }
  for (const std::string& warning : product.warnings) PrintErr("stpack: warning: " + warning + "\n");

  const std::u16string packagePath = output + u".package.partial";
  const std::u16string partial = output + u".partial";
  const PartialFileGuard packageGuard(packagePath), partialGuard(partial);
  try {
    // The package, and its digest as it goes out.
    std::unique_ptr<TSuiteHash> sha256 = CreateHashByIndex(kSha256Index);
    sha256->Init();
    const PackageStats stats = WritePackageFile(*files, items, packagePath, options.package,
                                                [&](const void* data, size_t count) { sha256->Update(data, count); });
    Sha256Digest packageDigest;
    sha256->Final(packageDigest.data());

    // The product's resources, under the languages the installer reads them in.
    std::vector<pe::NewResource> resources;
    std::map<uint16_t, std::u16string> strings;
    for (const auto& [id, value] : product.settings.settings) {
      if (!value.empty()) strings[uint16_t(id)] = value;
    }
    for (pe::NewResource& r : pe::MakeStringTableResources(strings, kLanguageChinesePrc)) resources.push_back(std::move(r));
    auto add = [&](pe::ResourceName type, pe::ResourceName name, uint16_t language, std::string bytes) {
      resources.push_back(pe::NewResource::FromBytes(std::move(type), std::move(name), language, std::move(bytes)));
    };
    add(pe::kTypeRcData, u"ImageLeft0", kLanguageChinesePrc, product.bannerChinese);
    add(pe::kTypeRcData, u"ImageLeft2", kLanguageChinesePrc, product.bannerEnglish);
    add(pe::kTypeBitmap, u"ImageIcon", kLanguageChinesePrc, product.headerPicture);
    for (pe::NewResource& r : pe::MakeIconResources(product.appIcon, u"AppIcon", kLanguageChinesePrc)) {
      resources.push_back(std::move(r));
    }
    for (const auto& [language, text] : product.licenses) {
      add(pe::kTypeRcData, language == kUiChinese ? u"License0" : u"License2", kLanguageChinesePrc, text);
    }
    add(pe::kTypeManifest, uint16_t(1), kLanguageEnglishUs, std::string(defaults::kInstallerManifest));
    // The installer's own version block, in place of the stub's.
    const std::u16string outputName = output.substr(output.find_last_of(u"/\\") + 1);
    resources.push_back(ProductVersionResource(product.settings, u"Setup", outputName));
    // The digest of the whole installer, sealed in once every other byte
    // has gone out (InstallerDigest.h).
    add(pe::kTypeRcData, kInstallerDigestResource, kLanguageChinesePrc, std::string(kInstallerDigestSize, '\0'));
    const size_t digestIndex = resources.size() - 1;

    // The package file and the output are closed before they are renamed or
    // deleted (Windows refuses both for a file open without sharing).
    pe::StampResult result;
    {
      FileSource package(files->OpenForReading(packagePath), U8(packagePath));
      resources.push_back(pe::NewResource::FromSource(u"StpFile", u"SetupPackage", kLanguageChinesePrc, package,
                                                      package.Size()));
      const size_t packageIndex = resources.size() - 1;
      InstallerParts parts;
      parts.checkSum = {stubImage.CheckSumOffset(), 4};
      if (std::optional<uint32_t> entry = stubImage.DirectoryEntryOffset(pe::kCertificateTable)) parts.certificateEntry = {*entry, 8};
      std::unique_ptr<OutsidePackageHash> outside;
      uint64_t madeSize = 0;
      pe::StampSeal seal;
      seal.resource = digestIndex;
      seal.onLayout = [&](const std::vector<uint64_t>& dataOffsets, uint64_t fileSize) {
        parts.digest = {dataOffsets[digestIndex], kInstallerDigestSize};
        parts.package = {dataOffsets[packageIndex], package.Size()};
        madeSize = fileSize;
        outside = std::make_unique<OutsidePackageHash>(parts.Excluded());
      };
      seal.onBytes = [&](uint64_t offset, const void* data, size_t count) { outside->Add(offset, data, count); };
      seal.seal = [&] {
        InstallerDigest digest;
        digest.madeSize = madeSize;
        digest.outsidePackage = outside->Final();
        digest.package = packageDigest;
        return FormatInstallerDigest(digest);
      };
      std::unique_ptr<PackageOutputFile> out = files->CreateForWriting(partial);
      FileSink sink(*out);
      result = pe::StampResources(stubImage, stub, resources, sink, nullptr, &seal);
    }
    files->MoveReplacing(partial, output);
    files->RemoveFile(packagePath);
    PrintOut(U8(output) + ": " + std::to_string(result.fileSize) + " bytes, installer of " +
             U8(product.settings.Setting(kSettingProductNameEn)) + " " +
             U8(product.settings.Setting(kSettingProductVersion)) + ": " + PackageSummary(stats, options.package) +
             "\n");
  } catch (const pe::PeError& e) {
    files->RemoveFile(partial);
    files->RemoveFile(packagePath);
    throw ToolError(U8(output) + ": cannot write the installer: " + e.what());
  } catch (...) {
    files->RemoveFile(partial);
    files->RemoveFile(packagePath);
    throw;
  }
}

}  // namespace vo::stpack
