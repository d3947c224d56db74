#pragma once

#include <optional>
#include <string>

#include "platform/user_locale.h"
#include "texts/texts.h"

// The language of a run: FILECOPY_LANGUAGE ("pl" or "en", in any case) when
// it holds one; otherwise Polish where the user's language is Polish (on
// Windows the UI language; on POSIX the first of LC_ALL, LC_MESSAGES and LANG
// that is set), and English everywhere else.
Language ChooseLanguage(const std::optional<std::string>& chosen,
                        const platform::UserLocale& locale);
