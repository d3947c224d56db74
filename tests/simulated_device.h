#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/scratch.h"

// The simulator's device, a folder with "\Tarvel" in it, set up through the
// simulator's environment for this process and whatever it starts.
class SimulatedDevice {
 public:
  SimulatedDevice() {
    std::filesystem::create_directory(folder_.path() / "device");
    std::filesystem::create_directory(folder_.path() / "device" / "Tarvel");
    std::filesystem::create_directory(folder_.path() / "local");
    setenv("FILECOPY_SIM_ROOT", (folder_ / "device").c_str(), 1);
    setenv("FILECOPY_SIM_LOG", log().c_str(), 1);
    for (const char* fault : kFaults) unsetenv(fault);
    // The program's lines in English, whatever the machine's locale, unless
    // a test asks for Polish; the system's reasons in English in either.
    setenv("FILECOPY_LANGUAGE", "en", 1);
    setenv("LC_ALL", "C", 1);
  }
  ~SimulatedDevice() {
    for (const char* fault : kFaults) unsetenv(fault);
    unsetenv("FILECOPY_SIM_ROOT");
    unsetenv("FILECOPY_SIM_LOG");
    unsetenv("FILECOPY_LANGUAGE");
  }
  SimulatedDevice(const SimulatedDevice&) = delete;
  SimulatedDevice& operator=(const SimulatedDevice&) = delete;

  // A file in the device's \Tarvel folder, as a host path.
  std::string Tarvel(const std::string& name) const { return folder_ / ("device/Tarvel/" + name); }
  // A host path in a folder of its own, for local files.
  std::string Local(const std::string& name) const { return folder_ / ("local/" + name); }
  std::filesystem::path local_folder() const { return folder_.path() / "local"; }
  std::string log() const { return folder_ / "calls.log"; }
  std::string Calls() const { return ReadFileBytes(log()); }
  std::filesystem::path tarvel_folder() const { return folder_.path() / "device" / "Tarvel"; }

  static void Inject(const char* fault, const std::string& value) {
    setenv(fault, value.c_str(), 1);
  }

  static constexpr const char* kFaults[] = {"FILECOPY_SIM_FAIL_CONNECT",
                                            "FILECOPY_SIM_FAIL_OPEN",
                                            "FILECOPY_SIM_FAIL_READ_AFTER",
                                            "FILECOPY_SIM_FAIL_WRITE_AFTER",
                                            "FILECOPY_SIM_SHORT_WRITE_AFTER",
                                            "FILECOPY_SIM_FAIL_CLOSE",
                                            "FILECOPY_SIM_FAIL_DELETE",
                                            "FILECOPY_SIM_FAIL_MOVE",
                                            "FILECOPY_SIM_CONNECT_DELAY_MS",
                                            "FILECOPY_SIM_NO_DEVICE",
                                            "FILECOPY_SIM_CALL_DELAY_MS",
                                            "FILECOPY_SIM_CONNECT_RESULT",
                                            "FILECOPY_SIM_DEVICE_ERROR",
                                            "FILECOPY_SIM_DROP_AFTER",
                                            "FILECOPY_SIM_HANG_AFTER",
                                            "FILECOPY_SIM_LATE_ANSWER",
                                            "FILECOPY_CONNECT_TIMEOUT",
                                            "FILECOPY_CALL_TIMEOUT",
                                            "FILECOPY_EVENT_LOG"};

 private:
  ScratchFolder folder_;
};
