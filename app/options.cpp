#include "app/options.h"

Invocation ParseCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.size() <= 2) return {};
  const std::string& option = arguments[1];
  if (option == "-d") return {Command::kDownload, arguments[2]};
  if (option == "-u") return {Command::kUpload, arguments[2]};
  return {};
}
