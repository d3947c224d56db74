# Cross-build for 64-bit Windows with mingw-w64. The product is the 32-bit
# build; this one exists to run the Windows tests under 64-bit-only Wine, on
# machines whose kernel cannot run 32-bit programs.
set(FILECOPY_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
