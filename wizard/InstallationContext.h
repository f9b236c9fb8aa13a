#pragma once
// What the installation run behind the Install button gets from the wizard:
// the window (buttons, progress bar, the check boxes, one processing of
// pending events), the texts of the interface language and the product
// settings. Each installer executable links one runner.

#include <string>

#include "settings/ProductSettings.h"
#include "wizard/WizardTexts.h"
#include "wizard/WizardView.h"

namespace vo {

struct InstallationContext {
  WizardView& view;
  const WizardTexts& texts;
  const ProductSettings& settings;
};

// Returns false when the extraction stage failed, after telling the user,
// enabling the four buttons again and hiding the progress bar; true
// otherwise. installDir ends in a backslash and exists. Raises nothing.
using InstallationRunner = bool (*)(const InstallationContext& context, const std::u16string& installDir,
                                    const ProgressHandler& progress);

}  // namespace vo
