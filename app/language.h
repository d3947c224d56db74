#pragma once

#include <optional>
#include <string>

#include "platform/system_error.h"
#include "platform/user_locale.h"
#include "texts/texts.h"

// The language of a run: FILECOPY_LANGUAGE ("pl" or "en", in any case) when
// it holds one; otherwise Polish where the user's language is Polish (on
// Windows the UI language; on POSIX the first of LC_ALL, LC_MESSAGES and LANG
// that is set), and English everywhere else.
Language ChooseLanguage(const std::optional<std::string>& chosen,
                        const platform::UserLocale& locale);

// The language the system's own texts are asked for in: the user's where the
// run speaks it too (a Polish run on a Polish system), English otherwise, so
// that a line never mixes the program's Polish with another language, nor
// the program's English with Polish.
platform::SystemTextLanguage SystemTextsFor(Language run, const platform::UserLocale& locale);
