#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_holders.h"
#include "platform/local_file.h"

// Another program that holds a file (a virus scanner or search indexer for a
// moment, or a program the person has it open in) is waited for briefly, then
// named, as careful tools do.

// The pauses between attempts: 50 ms, doubling up to 1 s, 5 s in all.
std::vector<std::chrono::milliseconds> HeldFilePauses();

// Whether another program may hold the file: a sharing violation, or access
// denied to a file that is neither read-only nor a folder.
bool IsHeld(const platform::FileError& error);

// Runs attempt again after a signal that asked for no stop.
platform::FileError Uninterrupted(const std::function<platform::FileError()>& attempt);

// Runs attempt again, after each of the pauses, while another program holds
// the file. A stop ends the pauses with platform::Stopped.
platform::FileError Persistently(const std::function<platform::FileError()>& attempt);

// Why an attempt at path failed, in words: which programs hold it, where the
// system can say; otherwise the system's reason.
std::string ReasonFor(const std::string& path, const platform::FileError& error);

// "Microsoft Excel (EXCEL.EXE)", several joined by commas.
std::string HolderNames(const std::vector<platform::FileHolder>& holders);
