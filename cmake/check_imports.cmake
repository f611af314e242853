# Fails the build when a program imports a library that Windows itself does not carry. A player runs
# Quorvane.exe alone, so anything else (zlib1.dll, a compiler's runtime) would stop it at start; Wine
# ships some of these, so the suites under Wine would not notice.
#   cmake -DOBJDUMP=... -DPROGRAM=... -P check_imports.cmake
cmake_policy(SET CMP0057 NEW)
set(system_libraries ADVAPI32 BCRYPT COMCTL32 COMDLG32 GDI32 KERNEL32 MSIMG32 MSVCRT OLE32 OLEAUT32 SHELL32
    SHLWAPI USER32 URLMON)
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cannot read the imports of ${PROGRAM}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${headers}")
set(foreign)
foreach(entry IN LISTS names)
  string(REGEX REPLACE "DLL Name: ([^.]+)\\.[dD][lL][lL]" "\\1" name "${entry}")
  string(TOUPPER "${name}" name)
  if(NOT name IN_LIST system_libraries)
    list(APPEND foreign ${entry})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "${PROGRAM} needs libraries Windows does not have: ${foreign}")
endif()
