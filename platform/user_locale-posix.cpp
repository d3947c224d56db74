#include "platform/environment.h"
#include "platform/user_locale.h"

namespace platform {

UserLocale CurrentUserLocale() {
  UserLocale locale;
  locale.lc_all = EnvironmentVariable("LC_ALL");
  locale.lc_messages = EnvironmentVariable("LC_MESSAGES");
  locale.lang = EnvironmentVariable("LANG");
  return locale;
}

}  // namespace platform
