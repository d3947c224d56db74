#pragma once

#include <string>

// ASCII only: the names settings are compared with are, whatever the C locale is.
inline std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}
