#include "uninstall/UninstallCommandLine.h"

namespace vo {

UninstallCommand ParseUninstallCommand(const std::vector<std::u16string>& arguments) {
  UninstallCommand command;
  const std::u16string cleanupPrefix = u"/_cleanup=";
  const std::u16string companyPrefix = u"/_company=";
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    if (argument == u"/S" || argument == u"/s") {
      command.silent = true;
    } else if (argument == u"/_reboot") {
      command.deleteSelfAtReboot = true;
    } else if (argument.compare(0, companyPrefix.size(), companyPrefix) == 0) {
      command.companyFolder = argument.substr(companyPrefix.size());
    } else if (argument.compare(0, cleanupPrefix.size(), cleanupPrefix) == 0 && i + 1 < arguments.size()) {
      unsigned long handle = 0;
      bool digits = argument.size() > cleanupPrefix.size();
      for (size_t k = cleanupPrefix.size(); k < argument.size() && digits; ++k) {
        digits = argument[k] >= u'0' && argument[k] <= u'9' && handle < 0x10000000;
        handle = handle * 10 + (argument[k] - u'0');
      }
      if (!digits) continue;
      command.cleanup = true;
      command.waitHandle = handle;
      command.cleanupTarget = arguments[++i];
    }
  }
  return command;
}

}  // namespace vo
