#pragma once

#include "device/remote_api/rapi_types.h"

// The one list of the remote API entry points the program binds, in the order
// TRAPI holds them. X(name, result type, parameter list) gives each one's exact
// export name and C signature; the binding's fields, its lookups and the device
// simulator's exports are all generated from it. Structures the program never
// passes are opaque pointers. The last five are optional: with CeDeleteFile
// and CeMoveFile an upload is staged in a temporary file and moved into place;
// with CeRapiInitEx the wait for the device can be bounded and stopped; with
// CeRapiGetError and CeGetLastError a failed call says whether the link or the
// device failed, and why.
#define FILECOPY_REMOTE_ENTRIES(X)                                                              \
  X(CeCreateFile, RapiHandle,                                                                   \
    (const RapiChar* file_name, RapiDword desired_access, RapiDword share_mode,                 \
     void* security_attributes, RapiDword creation_disposition, RapiDword flags_and_attributes, \
     RapiHandle template_file))                                                                 \
  X(CeWriteFile, RapiBool,                                                                      \
    (RapiHandle file, const void* buffer, RapiDword bytes_to_write, RapiDword* bytes_written,   \
     void* overlapped))                                                                         \
  X(CeCloseHandle, RapiBool, (RapiHandle object))                                               \
  X(CeGetFileSize, RapiDword, (RapiHandle file, RapiDword * file_size_high))                    \
  X(CeReadFile, RapiBool,                                                                       \
    (RapiHandle file, void* buffer, RapiDword bytes_to_read, RapiDword* bytes_read,             \
     void* overlapped))                                                                         \
  X(CeCreateDirectory, RapiBool, (const RapiChar* path_name, void* security_attributes))        \
  X(CeCreateProcess, RapiBool,                                                                  \
    (const RapiChar* application_name, const RapiChar* command_line, void* process_attributes,  \
     void* thread_attributes, RapiBool inherit_handles, RapiDword creation_flags,               \
     void* environment, RapiChar* current_directory, void* startup_info,                        \
     void* process_information))                                                                \
  X(CeGetSystemInfo, void, (void* system_info))                                                 \
  X(CeRapiUninit, RapiResult, ())                                                               \
  X(CeRapiInit, RapiResult, ())                                                                 \
  X(CeDeleteFile, RapiBool, (const RapiChar* file_name))                                        \
  X(CeMoveFile, RapiBool, (const RapiChar* existing_file_name, const RapiChar* new_file_name))  \
  X(CeRapiInitEx, RapiResult, (RapiInit * init))                                                \
  X(CeRapiGetError, RapiResult, ())                                                             \
  X(CeGetLastError, RapiDword, ())

// Pointer types of the entries: CeReadFileEntry and so on.
#define FILECOPY_DECLARE_ENTRY_TYPE(name, result, parameters) \
  using name##Entry = result(FILECOPY_RAPI_CALL*) parameters;
FILECOPY_REMOTE_ENTRIES(FILECOPY_DECLARE_ENTRY_TYPE)
#undef FILECOPY_DECLARE_ENTRY_TYPE
