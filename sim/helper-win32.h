#pragma once

// A DLL of the simulator's own, for the variant that needs one, as a real
// rapi.dll needs DLLs of its own: tests then see where the loader finds it.
#ifdef FILECOPY_SIM_HELPER_BUILD
#define FILECOPY_SIM_HELPER_API __declspec(dllexport)
#else
#define FILECOPY_SIM_HELPER_API __declspec(dllimport)
#endif

extern "C" FILECOPY_SIM_HELPER_API int FileCopySimHelperVersion();
