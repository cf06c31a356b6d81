# The 32-bit Windows form of a Sylvo library target: sylvo<m>.dll (in bin/)
# with the export table of frame/sylvo.def and the DLL entry, and what
# Windows hosts link against (in lib/): sylvo<m>.def, the same table with its
# LIBRARY line, and the import library sylvo<m>.dll.a.

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/frame/sylvo.def)

function(sylvo_windows_dll lib)
  file(READ ${CMAKE_SOURCE_DIR}/frame/sylvo.def exports)
  set(def ${CMAKE_BINARY_DIR}/lib/${lib}.def)
  set(text "LIBRARY ${lib}.dll\n${exports}")
  set(old "")
  if(EXISTS ${def})
    file(READ ${def} old)
  endif()
  if(NOT "${text}" STREQUAL "${old}")
    file(WRITE ${def} "${text}")
  endif()

  target_sources(${lib} PRIVATE ${CMAKE_SOURCE_DIR}/frame/dll_entry.cpp ${CMAKE_SOURCE_DIR}/frame/x87_math.cpp ${def})
  set_target_properties(${lib} PROPERTIES
    PREFIX "" IMPORT_PREFIX "" ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
  # --kill-at exports LibMain@12 as LibMain; GCC's support code is linked in,
  # so the DLL needs nothing but the system and C runtime DLLs.
  target_link_options(${lib} PRIVATE -Wl,--kill-at -static-libgcc -static-libstdc++)
  # The model code's exp, log and pow run at a 64-bit significand whatever
  # the host has set (frame/x87_math.cpp).
  target_link_options(${lib} PRIVATE -Wl,--wrap=exp,--wrap=log,--wrap=pow)
  # The linker's own import library names the __stdcall entry _LibMain, which
  # a host declaring it as sylvo.h does (_LibMain@12) cannot link against;
  # dlltool's keeps the decorated symbol and imports the plain name.
  if(NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "dlltool not found (set CMAKE_DLLTOOL)")
  endif()
  add_custom_command(TARGET ${lib} POST_BUILD
    COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${def} --output-lib $<TARGET_LINKER_FILE:${lib}>
    VERBATIM)
endfunction()
