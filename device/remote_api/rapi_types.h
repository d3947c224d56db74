#pragma once

// The C types of the remote API as the loaded library defines them: the real
// ones on Windows, the Linux RAPI library's (librapi2) ABI elsewhere.

#ifdef _WIN32
#include <windows.h>

#define FILECOPY_RAPI_CALL __stdcall

using RapiChar = WCHAR;
using RapiDword = DWORD;
using RapiBool = BOOL;
using RapiResult = HRESULT;
using RapiHandle = HANDLE;

inline const RapiHandle kRapiInvalidHandle =
    INVALID_HANDLE_VALUE;  // NOLINT(performance-no-int-to-ptr)
#else
#include <cstdint>

#define FILECOPY_RAPI_CALL

using RapiChar = std::uint16_t;
using RapiDword = std::uint32_t;
using RapiBool = std::uint32_t;
using RapiResult = std::int32_t;
using RapiHandle = std::uint32_t;

inline constexpr RapiHandle kRapiInvalidHandle = 0xFFFFFFFFU;
#endif

// Flags as Windows CE defines them.
inline constexpr RapiDword kRapiGenericRead = 0x80000000U;
inline constexpr RapiDword kRapiGenericWrite = 0x40000000U;
inline constexpr RapiDword kRapiCreateNew = 1;
inline constexpr RapiDword kRapiCreateAlways = 2;
inline constexpr RapiDword kRapiOpenExisting = 3;
inline constexpr RapiDword kRapiOpenAlways = 4;
inline constexpr RapiDword kRapiTruncateExisting = 5;
inline constexpr RapiDword kRapiFileAttributeNormal = 0x80;

// What CeRapiInitEx fills in: the library sets the event once the connection
// is made or has failed, and the result is then in result. On POSIX the event
// is a file descriptor that becomes readable then.
struct RapiInit {
  RapiDword size;
  RapiHandle event;
  RapiResult result;
};

inline bool RapiSucceeded(RapiResult result) { return result >= 0; }
