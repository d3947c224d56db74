#include "device/transfer/report_copy_error.h"

#include "platform/caption.h"
#include "platform/message_window.h"

void ReportCopyError() {
  // Kept as UTF-16 so the Polish letters survive any code page.
  static const char16_t kMessage[] = u"B\u0142\u0105d podczas kopiowania pliku";
  platform::ShowMessageWindow(platform::CaptionFromProgramPath(platform::ProgramFilePath()),
                              kMessage);
}
