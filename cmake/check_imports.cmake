# Fails when the program imports a DLL at start-up that is not a KnownDLL: Windows would
# look for such a DLL in the program's own folder first (a downloads folder, usually),
# before any code of ours runs. comctl32 is bound side by side through the manifest.
# -DOBJDUMP=<objdump> -DEXE=<setup.exe>
cmake_minimum_required(VERSION 3.25)
set(allowed kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll
            oleaut32.dll msvcrt.dll comctl32.dll ws2_32.dll shlwapi.dll)
execute_process(COMMAND ${OBJDUMP} -p ${EXE} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${EXE} failed")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${dump}")
if(NOT names)
  message(FATAL_ERROR "no import table found in ${EXE}")
endif()
set(refused "")
foreach(n ${names})
  string(REGEX REPLACE "^DLL Name: " "" dll "${n}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST allowed)
    list(APPEND refused ${dll})
  endif()
endforeach()
if(refused)
  message(FATAL_ERROR "setup.exe imports DLLs that are not KnownDLLs at start-up: ${refused}")
endif()
message(STATUS "setup.exe imports only KnownDLLs: ${names}")
