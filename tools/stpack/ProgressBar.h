#pragma once
// A one-line progress bar on standard error, drawn only on a terminal:
//   [##############----------------]  47%  Lang\zh.ini

#include <string>

namespace vo::stpack {

class ProgressBar {
 public:
  ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  ~ProgressBar();

  // Redraws when the percentage or the label changed.
  void Update(int percent, const std::string& label = {});
  // Ends the bar's line; further updates start a new bar.
  void Finish();

 private:
  bool fEnabled;
  bool fDrawn = false;
  int fPercent = -1;
  std::string fLabel;
};

}  // namespace vo::stpack
