#pragma once

#include <cstddef>
#include <string>

// A line on standard error that tells someone watching what the copy is doing,
// rewritten in place and cleared when the object goes, so a later line starts
// on a clean one. Only on a console or terminal: redirected output never gets it.
class StatusLine {
 public:
  StatusLine();
  ~StatusLine();
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  bool shown_to_someone() const { return interactive_; }
  void Show(const std::string& text);

  // From another thread, while the copy's own is stuck: clears whatever line
  // is shown, so that a line written next starts on a clean one.
  static void ClearShown();

 private:
  bool interactive_;
  std::size_t width_ = 0;
};
