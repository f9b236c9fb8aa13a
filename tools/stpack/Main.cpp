// stpack: makes and inspects setup packages.
//
//   stpack build SOURCE -o OUT.stp --product product.ini [--uninstaller FILE]
//                [--cipher N] [--hash N] [--level N] [--compression zlib|zstd|best]
//   stpack build SOURCE -o OUT.stp --no-uninstaller [...]
//   stpack list PACKAGE
//   stpack extract PACKAGE FOLDER [--system-dir FOLDER]
//   stpack verify PACKAGE
//   stpack --version
//
// Exit codes: 0 done, 1 the work failed (the message names the file and the
// place), 2 the command line is wrong.

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "CorvennaVersion.h"
#include "text/Unicode.h"
#include "package/PackageError.h"
#include "package/PackageManifest.h"
#include "tools/stpack/Commands.h"
#include "tools/stpack/Console.h"
#include "uninstall/UninstallList.h"

namespace vo::stpack {
namespace {

const char kUsage[] =
    "usage:\n"
    "  stpack init FOLDER [--publisher NAME] [--home-page URL]\n"
    "      Starts a product folder: a product.ini explaining every setting and an\n"
    "      empty payload/ folder for the product's files. --publisher writes your\n"
    "      company as the publisher and the folder under Program Files,\n"
    "      --home-page your home page for the list of installed programs.\n"
    "  stpack make FOLDER [-o OUT.exe] [--stub SetupStub.exe] [--uninstaller FILE]\n"
    "              [--no-uninstaller] [--cipher N] [--hash N] [--level N]\n"
    "              [--compression zlib|zstd|best]\n"
    "      Turns the product folder (product.ini, payload/ or payload.manifest,\n"
    "      optional pictures) into its installer, <ExeName>Setup.exe by default.\n"
    "      The stub and Uninst.exe are found beside stpack or in\n"
    "      ../share/corvenna-setup/. --unchecked-settings writes settings the\n"
    "      installer cannot use, for testing its own refusals.\n"
    "  stpack build SOURCE -o OUT.stp --product product.ini [--uninstaller FILE]\n"
    "               [--cipher N] [--hash N] [--level N] [--compression zlib|zstd|best]\n"
    "  stpack build SOURCE -o OUT.stp --no-uninstaller [--cipher N] [--hash N] [--level N]\n"
    "               [--compression zlib|zstd|best]\n"
    "      SOURCE is a manifest file (see the manual, below) or a folder tree.\n"
    "      The uninstaller Uninst.exe and its list Uninst.lst, made from the\n"
    "      product settings file --product, go last into the install folder.\n"
    "      --uninstaller names the program, by default Uninst.exe beside stpack;\n"
    "      --no-uninstaller adds neither (and --product is then ignored).\n"
    "      --cipher 0-8 (default 5, Rijndael), --hash 0-4 (default 3, SHA-256),\n"
    "      --level 0-9 (default 9) for zlib members. --compression chooses the\n"
    "      members' codec over product.ini's Compression: zlib (the default) or\n"
    "      best, which is zstd (level 19, 8 MiB window).\n"
    "  stpack list PACKAGE|INSTALLER\n"
    "  stpack extract PACKAGE|INSTALLER FOLDER [--system-dir FOLDER]\n"
    "      \"$System$\" and \"$Third$\" members go to --system-dir, by default\n"
    "      FOLDER/System.\n"
    "  stpack verify PACKAGE|INSTALLER\n"
    "      An installer is checked against the SHA-256 it carries of its package.\n"
    "  stpack --version (or -V)\n"
    "      Prints the tool's version.\n"
    "  stpack-try [--lang en|zh] [--windows win7|winxp|win10] [--keep] SETUP.EXE [FOLDER]\n"
    "      (Linux, beside stpack) Tries an installer under Wine in a throw-away\n"
    "      prefix: silent install, every member's bytes (and the product folder's\n"
    "      payload/), the uninstall entry and shortcut, then silent removal.\n"
    "      Exit code 0 when all of that holds.\n"
    "The manual, stpack.md, is installed in ../share/doc/corvenna-setup/ beside\n"
    "the folder stpack is in (/usr/share/doc/corvenna-setup/ for the .deb); in the\n"
    "source tree it is tools/README.md.\n";

class UsageError : public Error {
 public:
  using Error::Error;
};

struct CommandLine {
  std::u16string command;
  std::vector<std::u16string> positional;
  std::map<std::u16string, std::u16string> options;  // "--level" -> "9"
  std::set<std::u16string> flags;                    // "--no-uninstaller"
};

// known: the options that take a value ("--level 9" or "--level=9"); flags:
// the options that take none.
CommandLine Parse(const std::vector<std::u16string>& arguments, const std::vector<std::u16string>& known,
                  const std::vector<std::u16string>& flags = {}) {
  CommandLine line;
  line.command = arguments.empty() ? u"" : arguments[0];
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (argument.size() > 1 && argument[0] == u'-') {
      std::u16string name = argument;
      std::optional<std::u16string> value;
      size_t equals = argument.find(u'=');
      if (equals != std::u16string::npos) {
        name = argument.substr(0, equals);
        value = argument.substr(equals + 1);
      }
      if (std::find(flags.begin(), flags.end(), name) != flags.end()) {
        if (value) throw UsageError("option " + Quoted(name) + " takes no value");
        line.flags.insert(name);
        continue;
      }
      if (std::find(known.begin(), known.end(), name) == known.end()) {
        throw UsageError("unknown option " + Quoted(name) + " for " + Quoted(line.command));
      }
      if (!value) {
        if (i + 1 >= arguments.size()) throw UsageError("option " + Quoted(name) + " needs a value");
        value = arguments[++i];
      }
      line.options[name == u"-o" ? u"--output" : name] = *value;
    } else {
      line.positional.push_back(argument);
    }
  }
  return line;
}

int Number(const CommandLine& line, const std::u16string& option, int fallback, int low, int high) {
  auto it = line.options.find(option);
  if (it == line.options.end()) return fallback;
  const std::u16string& text = it->second;
  int value = 0;
  bool ok = !text.empty() && text.size() <= 2;
  for (char16_t c : text) {
    ok = ok && c >= u'0' && c <= u'9';
    value = value * 10 + (c - u'0');
  }
  if (!ok || value < low || value > high) {
    throw UsageError("option " + Utf16ToUtf8(option) + " takes a number from " + std::to_string(low) + " to " +
                     std::to_string(high) + ", not " + Quoted(text));
  }
  return value;
}

void ExpectPositional(const CommandLine& line, size_t count) {
  if (line.positional.size() != count) {
    throw UsageError(Quoted(line.command) + " takes " + std::to_string(count) + " argument" + (count == 1 ? "" : "s") +
                     ", not " + std::to_string(line.positional.size()));
  }
}

// What build adds for the uninstaller, from --product, --uninstaller and
// --no-uninstaller.
std::optional<UninstallerSource> UninstallerFromCommandLine(const CommandLine& line) {
  auto product = line.options.find(u"--product");
  auto program = line.options.find(u"--uninstaller");
  if (line.flags.count(u"--no-uninstaller")) {
    if (program != line.options.end()) throw UsageError("give either --uninstaller or --no-uninstaller, not both");
    return std::nullopt;
  }
  if (product == line.options.end() || product->second.empty()) {
    throw UsageError(
        "the uninstaller's list needs the product settings: add --product product.ini, or build without the "
        "uninstaller with --no-uninstaller");
  }
  UninstallerSource source;
  source.productSettings = product->second;
  if (program != line.options.end()) {
    if (program->second.empty()) throw UsageError("--uninstaller needs a file");
    source.program = program->second;
  } else {
    source.programIsDefault = true;
    const std::u16string folder = ExecutableFolder();
    if (!folder.empty()) source.program = folder + kUninstallerFileName;
  }
  return source;
}

// --compression zlib|zstd|best, or nullopt when not given.
std::optional<PackageCodec> Compression(const CommandLine& line) {
  auto it = line.options.find(u"--compression");
  if (it == line.options.end()) return std::nullopt;
  std::optional<PackageCodec> codec = CodecFromName(Utf16ToUtf8(it->second));
  if (!codec) throw UsageError("--compression takes zlib, zstd or best, not " + Quoted(it->second));
  return codec;
}

void Dispatch(const std::vector<std::u16string>& arguments) {
  const std::u16string command = arguments.empty() ? u"" : arguments[0];
  if (command == u"build") {
    CommandLine line = Parse(arguments, {u"-o", u"--output", u"--cipher", u"--hash", u"--level", u"--product",
                                         u"--uninstaller", u"--compression"},
                             {u"--no-uninstaller"});
    ExpectPositional(line, 1);
    auto output = line.options.find(u"--output");
    if (output == line.options.end() || output->second.empty()) throw UsageError("build needs -o OUT.stp");
    PackageWriterOptions options;
    options.cipherIndex = Number(line, u"--cipher", kDefaultCipherIndex, 0, 8);
    options.hashIndex = Number(line, u"--hash", kDefaultHashIndex, 0, 4);
    options.level = Number(line, u"--level", kDefaultLevel, 0, 9);
    BuildPackage(line.positional[0], output->second, options, UninstallerFromCommandLine(line), Compression(line));
  } else if (command == u"make") {
    CommandLine line = Parse(arguments, {u"-o", u"--output", u"--stub", u"--uninstaller", u"--cipher", u"--hash",
                                         u"--level", u"--compression"},
                             {u"--no-uninstaller", u"--unchecked-settings"});
    ExpectPositional(line, 1);
    MakeOptions options;
    options.productFolder = line.positional[0];
    for (auto [name, slot] : {std::pair{u"--output", &options.output}, std::pair{u"--stub", &options.stub},
                              std::pair{u"--uninstaller", &options.uninstaller}}) {
      auto it = line.options.find(name);
      if (it == line.options.end()) continue;
      if (it->second.empty()) throw UsageError(Utf16ToUtf8(name) + " needs a file");
      *slot = it->second;
    }
    options.noUninstaller = line.flags.count(u"--no-uninstaller") != 0;
    if (options.noUninstaller && options.uninstaller) throw UsageError("give either --uninstaller or --no-uninstaller, not both");
    options.uncheckedSettings = line.flags.count(u"--unchecked-settings") != 0;
    options.package.cipherIndex = Number(line, u"--cipher", kDefaultCipherIndex, 0, 8);
    options.package.hashIndex = Number(line, u"--hash", kDefaultHashIndex, 0, 4);
    options.package.level = Number(line, u"--level", kDefaultLevel, 0, 9);
    options.compression = Compression(line);
    MakeInstaller(options);
  } else if (command == u"init") {
    CommandLine line = Parse(arguments, {u"--publisher", u"--home-page"});
    ExpectPositional(line, 1);
    auto value = [&](const char16_t* option) {
      auto it = line.options.find(option);
      return it == line.options.end() ? std::u16string() : it->second;
    };
    InitProductFolder(line.positional[0], value(u"--publisher"), value(u"--home-page"));
  } else if (command == u"list" || command == u"verify") {
    CommandLine line = Parse(arguments, {});
    ExpectPositional(line, 1);
    if (command == u"list") {
      ListPackage(line.positional[0]);
    } else {
      VerifyPackage(line.positional[0]);
    }
  } else if (command == u"extract") {
    CommandLine line = Parse(arguments, {u"--system-dir"});
    ExpectPositional(line, 2);
    std::optional<std::u16string> systemDir;
    if (auto it = line.options.find(u"--system-dir"); it != line.options.end()) systemDir = it->second;
    ExtractPackageTo(line.positional[0], line.positional[1], systemDir);
  } else if (command.empty()) {
    throw UsageError("no command given");
  } else {
    throw UsageError("unknown command " + Quoted(command));
  }
}

}  // namespace

int Run(const std::vector<std::u16string>& arguments) {
  if (!arguments.empty() && (arguments[0] == u"-h" || arguments[0] == u"--help" || arguments[0] == u"help")) {
    PrintOut(kUsage);
    return 0;
  }
  if (arguments.size() == 1 && (arguments[0] == u"--version" || arguments[0] == u"-V")) {
    PrintOut(std::string("stpack (") + kCorvennaProduct + ") " + kCorvennaVersion + "\n");
    return 0;
  }
  try {
    Dispatch(arguments);
    return 0;
  } catch (const UsageError& e) {
    PrintErr(std::string("stpack: ") + e.what() + "\n" + kUsage);
    return 2;
  } catch (const EPackageError& e) {
    PrintErr(std::string("stpack: ") + PackageErrorKindName(e.Kind()) + " error: " + e.what() + "\n");
  } catch (const std::bad_alloc&) {
    PrintErr("stpack: out of memory\n");
  } catch (const std::exception& e) {
    PrintErr(std::string("stpack: ") + e.what() + "\n");
  }
  return 1;
}

}  // namespace vo::stpack
