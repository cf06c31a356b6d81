# The 64-bit Windows form of a Sylvo library target: sylvo<m>.dll (in bin/)
# with the export table of frame/sylvo.def and the DLL entry, and what
# Windows hosts link against (in lib/): sylvo<m>.def, the same table with its
# LIBRARY line, and the import library sylvo<m>.dll.a.
#
# x64 has one calling convention, so the table's one decorated name
# (LibMain@12, the 32-bit __stdcall LibMain) is written undecorated; names
# and ordinals are otherwise the file's own. Doubles are computed in SSE2
# registers (the x86-64 default): every operation rounds to double, as on
# Linux, and there is no x87 precision to select.

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/frame/sylvo.def)

# exp, log and pow: the C runtime's functions linked into 64-bit programs
# (mingw-w64's, not msvcrt's) are x87 code, and x64 Windows starts every
# thread with a 53-bit x87 significand, at which they lose up to hundreds of
# ulps in a projection (measured by tests/wine64/run_win64_tests.py). Every
# call goes through frame/x87_math.cpp, as on 32-bit Windows, which runs them
# with a 64-bit significand and restores the caller's control word: within a
# few ulps of glibc. Used by every DLL and program that computes a model.
set(SYLVO_WIN64_MATH_SOURCES ${CMAKE_SOURCE_DIR}/frame/x87_math.cpp)
set(SYLVO_WIN64_MATH_LINK -Wl,--wrap=exp,--wrap=log,--wrap=pow)

# Writes FILE with TEXT unless it already holds it (no needless relinks).
function(sylvo_write_if_changed file text)
  set(old "")
  if(EXISTS ${file})
    file(READ ${file} old)
  endif()
  if(NOT "${text}" STREQUAL "${old}")
    file(WRITE ${file} "${text}")
  endif()
endfunction()

function(sylvo_windows_dll lib)
  file(READ ${CMAKE_SOURCE_DIR}/frame/sylvo.def exports)
  string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@[0-9]+([ \t]+@[0-9]+)" "\\1\\2" exports "${exports}")
  set(def ${CMAKE_BINARY_DIR}/lib/${lib}.def)
  sylvo_write_if_changed(${def} "LIBRARY ${lib}.dll\n${exports}")

  target_sources(${lib} PRIVATE ${CMAKE_SOURCE_DIR}/windows/dll_entry_x64.cpp ${SYLVO_WIN64_MATH_SOURCES} ${def})
  set_target_properties(${lib} PROPERTIES
    PREFIX "" IMPORT_PREFIX "" ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  # GCC's support code is linked in, so the DLL needs nothing but the
  # system and C runtime DLLs.
  target_link_options(${lib} PRIVATE -static-libgcc -static-libstdc++ ${SYLVO_WIN64_MATH_LINK})
endfunction()
