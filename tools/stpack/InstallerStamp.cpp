#include "tools/stpack/InstallerStamp.h"

#include <map>
#include <vector>

#include "pe/PeResources.h"
#include "pe/ResourceBuilders.h"
#include "settings/Language.h"
#include "text/Unicode.h"
#include "tools/stpack/DefaultResources.h"
#include "tools/stpack/PackageItems.h"

namespace vo::stpack {
namespace {

constexpr uint16_t kLanguageChinesePrc = 2052;
constexpr uint16_t kLanguageEnglishUs = 1033;

// A package-code output file as the PE module's sink.
class FileSink final : public pe::Sink {
 public:
  explicit FileSink(PackageOutputFile& file) : fFile(file) {}
  void Write(const void* data, size_t count) override { fFile.Write(data, count); }
  void WriteAt(uint64_t offset, const void* data, size_t count) override { fFile.WriteAt(int64_t(offset), data, count); }

 private:
  PackageOutputFile& fFile;
};

}  // namespace

FileSource::FileSource(std::unique_ptr<PackageInputFile> file, std::string name)
    : fFile(std::move(file)), fName(std::move(name)) {
  fSize = uint64_t(fFile->Size());
}

void FileSource::ReadAt(uint64_t offset, void* buffer, size_t count) {
  if (offset > fSize || count > fSize - offset) {
    throw pe::PeError(fName + ": " + std::to_string(count) + " bytes at offset " + std::to_string(offset) +
                      " lie past its end");
  }
  fFile->Seek(int64_t(offset));
  if (fFile->Read(buffer, count) != count) throw pe::PeError(fName + ": the file ended early");
}

pe::StampResult StampInstaller(PackageFileSystem& files, const ProductFolder& product, const pe::PeImage& stubImage,
                               pe::Source& stub, const std::u16string& packagePath, const Sha256Digest& packageDigest,
                               const std::u16string& installerName, const std::u16string& installerPath) {
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
  resources.push_back(ProductVersionResource(product.settings, u"Setup", installerName));
  // The digest of the whole installer, sealed in once every other byte has
  // gone out (InstallerDigest.h).
  add(pe::kTypeRcData, kInstallerDigestResource, kLanguageChinesePrc, std::string(kInstallerDigestSize, '\0'));
  const size_t digestIndex = resources.size() - 1;

  FileSource package(files.OpenForReading(packagePath), Utf16ToUtf8(packagePath));
  resources.push_back(
      pe::NewResource::FromSource(u"StpFile", u"SetupPackage", kLanguageChinesePrc, package, package.Size()));
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
  std::unique_ptr<PackageOutputFile> out = files.CreateForWriting(installerPath);
  FileSink sink(*out);
  return pe::StampResources(stubImage, stub, resources, sink, nullptr, &seal);
}

}  // namespace vo::stpack
