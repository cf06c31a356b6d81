# Hardened binaries. Linux: stack protection and _FORTIFY_SOURCE=2 (neither
# touches floating point, so model code keeps exactly its results), full
# RELRO with immediate binding, a non-executable stack, position-independent
# executables. 32-bit Windows: the DLLs' headers ask for address-space layout
# randomisation and data execution prevention (their stack protection would
# need a runtime DLL beside KERNEL32 and msvcrt, which the DLLs do without).
if(WIN32)
  add_link_options(-Wl,--dynamicbase -Wl,--nxcompat)
  return()
endif()
add_compile_options(-fstack-protector-strong)
if(NOT SYLVO_SANITIZE AND NOT SYLVO_SANITIZE_THREAD)
  # The sanitizers check the same accesses themselves.
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
endif()
add_link_options(-Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported()
