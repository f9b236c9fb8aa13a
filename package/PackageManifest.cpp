#include "package/PackageManifest.h"

#include "datatable/TextConvert.h"
#include "package/PackageError.h"
#include "package/PackageWriter.h"
#include "text/Error.h"

namespace vo {
namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string Trim(const std::u16string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::u16string> Split(const std::u16string& text, char16_t separator) {
  std::vector<std::u16string> parts;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start));
    if (end == std::u16string::npos) return parts;
    start = end + 1;
  }
}

bool EqualsIgnoringAsciiCase(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i] >= u'A' && a[i] <= u'Z' ? char16_t(a[i] + 32) : a[i];
    char16_t y = b[i] >= u'A' && b[i] <= u'Z' ? char16_t(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

// "$System$" or "$Third$" in its stored spelling when text is one, else empty.
std::u16string CanonicalToken(const std::u16string& text) {
  for (const char16_t* token : {u"$System$", u"$Third$"}) {
    if (EqualsIgnoringAsciiCase(text, token)) return token;
  }
  return {};
}

std::u16string LastPathPart(const std::u16string& path) {
  size_t cut = path.find_last_of(u"\\/");
  return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::u16string NormalizeTargetFolder(const std::u16string& written) {
  std::u16string folder = Trim(written);
  for (char16_t& c : folder) {
    if (c == u'/') c = u'\\';
  }
  std::u16string token;
  if (!folder.empty() && folder[0] == u'$') {
    size_t close = folder.find(u'$', 1);
    if (close != std::u16string::npos) token = CanonicalToken(folder.substr(0, close + 1));
    if (!token.empty()) {
      folder.erase(0, close + 1);
      while (!folder.empty() && folder[0] == u'\\') folder.erase(0, 1);
    }
  }
  if (!folder.empty() && folder.back() != u'\\') folder += u'\\';
  folder = token + folder;
  CheckTargetFolder(folder);
  return folder;
}

std::vector<ManifestEntry> ParseManifest(const std::u16string& text, const std::u16string& manifestName) {
  std::vector<ManifestEntry> entries;
  std::vector<std::u16string> lines = Split(text, u'\n');
  for (size_t index = 0; index < lines.size(); ++index) {
    const int lineNumber = static_cast<int>(index + 1);
    auto fail = [&](const std::string& why) {
      throw EManifestError(Utf16ToUtf8(manifestName) + ":" + std::to_string(lineNumber) + ": " + why);
    };
    std::u16string line = lines[index];
    if (index == 0 && !line.empty() && line[0] == u'\uFEFF') line.erase(0, 1);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    std::u16string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == u'#') continue;

    std::vector<std::u16string> fields = Split(line, u'|');
    if (fields.size() < 3 || fields.size() > 4) {
      fail("expected TARGET FOLDER | SOURCE FILE | FILE NAME [| UseInstallDir], found " + std::to_string(fields.size()) +
           " field" + (fields.size() == 1 ? "" : "s"));
    }
    ManifestEntry entry;
    entry.line = lineNumber;
    entry.sourceFile = Trim(fields[1]);
    if (entry.sourceFile.empty()) fail("the source file is missing");
    entry.fileName = Trim(fields[2]);
    if (entry.fileName.empty()) entry.fileName = LastPathPart(entry.sourceFile);
    if (fields.size() == 4) {
      std::u16string option = Trim(fields[3]);
      if (EqualsIgnoringAsciiCase(option, u"UseInstallDir")) {
        entry.useInstallDir = true;
      } else if (!option.empty()) {
        fail("unknown option " + Quoted(option) + " (only UseInstallDir is known)");
      }
    }
    try {
      entry.targetFolder = NormalizeTargetFolder(fields[0]);
      CheckMemberFileName(entry.fileName);
    } catch (const InvalidArgument& e) {
      fail(e.what());
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

ManifestEntry EntryFromTreePath(const std::vector<std::u16string>& relativePath) {
  if (relativePath.empty()) throw InvalidArgument("empty path in the folder tree");
  ManifestEntry entry;
  entry.fileName = relativePath.back();
  std::u16string folder;
  for (size_t i = 0; i + 1 < relativePath.size(); ++i) {
    std::u16string token = i == 0 ? CanonicalToken(relativePath[0]) : std::u16string();
    folder += token.empty() ? relativePath[i] + u"\\" : token;
  }
  CheckTargetFolder(folder);
  CheckMemberFileName(entry.fileName);
  entry.targetFolder = folder;
  for (size_t i = 0; i < relativePath.size(); ++i) entry.sourceFile += (i ? u"/" : u"") + relativePath[i];
  return entry;
}

}  // namespace vo
