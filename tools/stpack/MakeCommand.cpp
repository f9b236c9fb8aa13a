// `stpack make`: a product folder in, `<ExeName>Setup.exe` out.
//
// Everything is read and checked first: the product folder (settings,
// pictures, licence texts), the payload and the uninstaller, the stub. Then
// the package is written to a temporary file beside the output while its
// SHA-256 is taken, and the stub is stamped with the product's resources and
// the package into `<output>.partial`, which is renamed at the end. On any
// error the partial files are removed and an existing output stays as it
// was.

#include <memory>
#include <string>
#include <vector>

#include "crypt/SuiteCipher.h"
#include "package/InstallerDigest.h"
#include "package/PackageError.h"
#include "pe/PeImage.h"
#include "pe/PeIo.h"
#include "settings/ProductSettings.h"
#include "text/Unicode.h"
#include "tools/stpack/PartialFiles.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/Console.h"
#include "tools/stpack/InstallerStamp.h"
#include "tools/stpack/PackageItems.h"
#include "tools/stpack/ProductChecks.h"
#include "tools/stpack/ProductFolder.h"
#include "uninstall/UninstallList.h"

namespace vo::stpack {
namespace {

constexpr uint8_t kSha256Index = 3;
constexpr char16_t kStubFileName[] = u"SetupStub.exe";

std::string U8(const std::u16string& text) { return Utf16ToUtf8(text); }

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

    // The installer's file name, for its version block.
    const std::u16string outputName = output.substr(output.find_last_of(u"/\\") + 1);
    const pe::StampResult result =
        StampInstaller(*files, product, stubImage, stub, packagePath, packageDigest, outputName, partial);
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
