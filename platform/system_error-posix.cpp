#include <cerrno>
#include <clocale>
#include <cstring>
#include <memory>
#include <type_traits>

#include "platform/system_error.h"

namespace platform {
namespace {

struct FreeLocale {
  void operator()(locale_t locale) const { freelocale(locale); }
};
using Locale = std::unique_ptr<std::remove_pointer_t<locale_t>, FreeLocale>;

// Set once, before any other thread starts; nothing: the process's own locale.
Locale& TextLocale() {
  static Locale locale;
  return locale;
}

}  // namespace

void SetSystemTextLanguage(SystemTextLanguage language) {
  // The C locale's messages are glibc's English; a user's locale that is not
  // installed leaves them so.
  Locale messages(
      newlocale(LC_MESSAGES_MASK, language == SystemTextLanguage::kUsers ? "" : "C", nullptr));
  if (!messages) return;
  // In UTF-8 whatever the user's character set, as the program writes its
  // lines; in the C locale's ASCII, glibc would write "?" for every letter
  // beyond it.
  if (locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", messages.get())) {
    static_cast<void>(messages.release());
    messages.reset(utf8);
  }
  TextLocale() = std::move(messages);
}

std::string LastSystemErrorText() {
  const int code = errno;
  return TextLocale() ? strerror_l(code, TextLocale().get()) : strerror(code);
}

std::optional<std::string> Win32ErrorText(std::uint32_t /*code*/) { return std::nullopt; }

}  // namespace platform
