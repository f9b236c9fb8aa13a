#include "package/MemberPath.h"

#include "text/Unicode.h"

namespace vo {
namespace {

const char16_t kSystemToken[] = u"$System$";
const char16_t kThirdToken[] = u"$Third$";

char16_t AsciiUpper(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - u'a' + u'A') : c; }

bool MatchesIgnoringCase(const std::u16string& text, size_t at, const std::u16string& token) {
  if (text.size() - at < token.size()) return false;
  for (size_t k = 0; k < token.size(); ++k)
    if (AsciiUpper(text[at + k]) != AsciiUpper(token[k])) return false;
  return true;
}

bool HoldsTokenAfterStart(const std::u16string& text) {
  for (size_t at = 1; at < text.size(); ++at)
    if (MatchesIgnoringCase(text, at, kSystemToken) || MatchesIgnoringCase(text, at, kThirdToken)) return true;
  return false;
}

std::string Q(const std::u16string& text) { return "\"" + Utf16ToUtf8(text) + "\""; }

// What is wrong, and whether it is a way out of the base folder (the message
// then says so) or a name Windows would not create as written.
struct Problem {
  bool escapes = false;
  std::string reason;  // empty: none
  explicit operator bool() const { return !reason.empty(); }
};

Problem Escape(std::string reason) { return {true, std::move(reason)}; }
Problem Unusable(std::string reason) { return {false, std::move(reason)}; }

bool IsDeviceName(const std::u16string& name) {
  // The device is opened whatever follows a dot, and Windows drops spaces
  // before that dot.
  std::u16string base = name.substr(0, name.find(u'.'));
  while (!base.empty() && base.back() == u' ') base.pop_back();
  for (char16_t& c : base) c = AsciiUpper(c);
  if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL") return true;
  return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
         base[3] >= u'1' && base[3] <= u'9';
}

// One file or folder name.
Problem NameProblem(const std::u16string& name) {
  if (name == u"..") return Escape("a \"..\" part");
  if (name == u".") return Escape("a \".\" part");
  for (char16_t c : name) {
    if (c < 0x20 || c == 0x7F) return Unusable("a control character");
    if (c == u'/') return Escape("a \"/\", which Windows takes as a separator");
    if (c == u':') return Escape("a \":\" (a drive or a stream name)");
  }
  if (name.find_first_of(u"<>\"|?*") != std::u16string::npos) {
    return Unusable("the name " + Q(name) + " holds a character Windows refuses in names");
  }
  if (name.back() == u'.' || name.back() == u' ') {
    return Unusable("the name " + Q(name) + " ends in a dot or a space, which Windows drops from names");
  }
  if (IsDeviceName(name)) return Escape("the name " + Q(name) + " is a name Windows keeps for a device");
  return {};
}

// A relative path of names separated by "\": a folder (empty, or each name
// followed by "\") or a file (names, the last one not followed by "\").
Problem RelativeProblem(const std::u16string& path, bool folder) {
  if (path.empty()) return folder ? Problem{} : Unusable("no name");
  // Limits first, so a huge path costs one comparison.
  if (path.size() > kMaxMemberPathLength) {
    return Unusable("longer than " + std::to_string(kMaxMemberPathLength) + " characters");
  }
  if (path.compare(0, 2, u"\\\\") == 0) return Escape("a UNC or device path");
  if (path[0] == u'\\') return Escape("a rooted path");
  if (path.size() >= 2 && path[1] == u':') return Escape("a drive letter");
  if (!folder && path.back() == u'\\') return Unusable("no file name after its last \"\\\"");
  size_t folders = 0;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    const std::u16string part = path.substr(start, end - start);
    if (part.empty()) return Escape("an empty part (a doubled \"\\\")");
    if (Problem problem = NameProblem(part)) return problem;
    if (end < path.size() && ++folders > kMaxMemberFolderDepth) {
      return Unusable("more than " + std::to_string(kMaxMemberFolderDepth) + " folder levels");
    }
    start = end + 1;
  }
  if (folder && path.back() != u'\\') return Unusable("no \"\\\" at its end");
  return {};
}

std::string Phrase(const char* cell, const std::u16string& text, const Problem& problem, const char* base) {
  if (problem.escapes) return std::string(cell) + " " + Q(text) + " leaves the " + base + " folder: " + problem.reason;
  return std::string(cell) + " " + Q(text) + " is not usable as written: " + problem.reason;
}

Problem TargetFolder(const std::u16string& targetFolder, std::u16string* rest) {
  const size_t token = SystemFolderTokenLength(targetFolder);
  if (token == 0 && !targetFolder.empty() && targetFolder[0] == u'$') {
    return Escape("a \"$\" at its start that is neither \"$System$\" nor \"$Third$\"");
  }
  *rest = targetFolder.substr(token);
  if (token > 0 && rest->find(u'$') != std::u16string::npos) return Escape("a \"$\" after its token");
  if (HoldsTokenAfterStart(targetFolder)) return Escape("a \"$System$\" or \"$Third$\" token after its start");
  return RelativeProblem(*rest, true);
}

Problem FileName(const std::u16string& fileName) {
  if (HoldsTokenAfterStart(fileName) || (!fileName.empty() && SystemFolderTokenLength(fileName) > 0)) {
    return Escape("a \"$System$\" or \"$Third$\" token");
  }
  return RelativeProblem(fileName, false);
}

const char* BaseName(const std::u16string& targetFolder) {
  return SystemFolderTokenLength(targetFolder) > 0 ? "system" : "install";
}

}  // namespace

size_t SystemFolderTokenLength(const std::u16string& targetFolder) {
  if (MatchesIgnoringCase(targetFolder, 0, kSystemToken)) return 8;
  if (MatchesIgnoringCase(targetFolder, 0, kThirdToken)) return 7;
  return 0;
}

std::u16string MemberFileName(const std::u16string& fileName) {
  const size_t cut = fileName.rfind(u'\\');
  return cut == std::u16string::npos ? fileName : fileName.substr(cut + 1);
}

std::string TargetFolderProblem(const std::u16string& targetFolder) {
  std::u16string rest;
  const Problem problem = TargetFolder(targetFolder, &rest);
  return problem ? Phrase("target folder", targetFolder, problem, BaseName(targetFolder)) : std::string();
}

std::string FileNameProblem(const std::u16string& fileName) {
  const Problem problem = FileName(fileName);
  return problem ? Phrase("file name", fileName, problem, "install") : std::string();
}

std::string MemberPathProblem(const std::u16string& targetFolder, const std::u16string& fileName) {
  std::u16string rest;
  if (Problem problem = TargetFolder(targetFolder, &rest)) {
    return Phrase("target folder", targetFolder, problem, BaseName(targetFolder));
  }
  if (Problem problem = FileName(fileName)) return Phrase("file name", fileName, problem, BaseName(targetFolder));
  if (rest.size() + MemberFileName(fileName).size() > kMaxMemberPathLength) {
    return "target folder " + Q(targetFolder) + " and file name " + Q(fileName) + " together are longer than " +
           std::to_string(kMaxMemberPathLength) + " characters";
  }
  return {};
}

std::string RelativeFilePathProblem(const std::u16string& path) {
  const Problem problem = FileName(path);
  return problem ? Phrase("path", path, problem, "install") : std::string();
}

}  // namespace vo
