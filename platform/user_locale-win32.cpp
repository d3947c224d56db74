#include <windows.h>

#include "platform/user_locale.h"

namespace platform {

// The language Windows shows its own menus and messages in, which the user chose.
UserLocale CurrentUserLocale() {
  UserLocale locale;
  locale.ui_language = GetUserDefaultUILanguage();
  return locale;
}

}  // namespace platform
