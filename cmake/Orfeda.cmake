# Shared compile settings and helpers for targets of this project.

function(orfeda_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(WIN32)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE NOMINMAX
                               _WIN32_WINNT=0x0A00 WINVER=0x0A00)
    target_link_options(${target} PUBLIC -static -static-libgcc -static-libstdc++)
  endif()
  if(ORFEDA_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PUBLIC -fsanitize=address,undefined -fno-omit-frame-pointer
                           -fno-sanitize-recover=undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

# Third-party code comes from Debian's packages: GoogleTest (built from its source package
# for the cross build), nlohmann/json (header only) and zlib.
macro(orfeda_setup_third_party)
  if(WIN32)
    set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    target_link_options(gtest PUBLIC -static -static-libgcc -static-libstdc++)
    # Only nlohmann's folder: /usr/include itself would shadow mingw's C headers.
    set(ORFEDA_JSON_INCLUDE ${CMAKE_BINARY_DIR}/json-include)
    file(MAKE_DIRECTORY ${ORFEDA_JSON_INCLUDE})
    file(CREATE_LINK /usr/include/nlohmann ${ORFEDA_JSON_INCLUDE}/nlohmann SYMBOLIC)
    find_library(ORFEDA_ZLIB NAMES libz.a z REQUIRED)
    find_path(ORFEDA_ZLIB_INCLUDE zlib.h REQUIRED)
    add_library(orfeda_zlib INTERFACE)
    target_link_libraries(orfeda_zlib INTERFACE ${ORFEDA_ZLIB})
    target_include_directories(orfeda_zlib INTERFACE ${ORFEDA_ZLIB_INCLUDE})
  else()
    find_package(GTest REQUIRED)
    find_package(ZLIB REQUIRED)
    add_library(orfeda_zlib INTERFACE)
    target_link_libraries(orfeda_zlib INTERFACE ZLIB::ZLIB)
    set(ORFEDA_JSON_INCLUDE /usr/include)
  endif()
endmacro()

# orfeda_test(NAME src...): one test binary = one ctest entry (under Wine a start costs time).
function(orfeda_test name)
  add_executable(${name} ${ARGN})
  orfeda_defaults(${name})
  if(WIN32)
    target_link_libraries(${name} PRIVATE orfeda_app gtest gtest_main)
  else()
    target_link_libraries(${name} PRIVATE orfeda_app GTest::gtest GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()

# The program's code is one static library per folder below src/, linked in one direction:
#   base <- state <- log, lang <- zip, net <- install <- workers <- ui <- app
# orfeda_library(<folder> DEPENDS <lower folders> SOURCES <portable files>
#                [WIN32_SOURCES <files>] [SYSTEM_LIBS <Windows libraries>])
# (SYSTEM_LIBS "delay:<lib>" imports <lib>.dll on first use, see orfeda_delay_import)
# makes the library orfeda_<folder> and two guards against a reference running back up:
# the build checks every #include of the folder against the folders below it, and a small
# program linked with the whole library and its dependencies alone fails to link when the
# library calls into a folder above it.
function(orfeda_library folder)
  cmake_parse_arguments(A "" "" "DEPENDS;SOURCES;WIN32_SOURCES;SYSTEM_LIBS" ${ARGN})
  orfeda_register_layer(${folder} "${A_DEPENDS}")
  set(target orfeda_${folder})
  set(srcs ${A_SOURCES})
  if(WIN32)
    list(APPEND srcs ${A_WIN32_SOURCES})
  endif()
  if(srcs)
    add_library(${target} STATIC ${srcs})
    set(scope PUBLIC)
    orfeda_defaults(${target})
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${target} ${scope} ${CMAKE_SOURCE_DIR}/src ${CMAKE_BINARY_DIR}/generated)
  foreach(d ${A_DEPENDS})
    target_link_libraries(${target} ${scope} orfeda_${d})
  endforeach()
  if(WIN32)
    foreach(sys ${A_SYSTEM_LIBS})
      # "delay:<lib>": the DLL is loaded on first use (orfeda_delay_import).
      if(sys MATCHES "^delay:(.+)$")
        orfeda_delay_import(${CMAKE_MATCH_1})
        target_link_libraries(${target} ${scope} orfeda_delay_${CMAKE_MATCH_1})
        add_dependencies(${target} orfeda_delay_${CMAKE_MATCH_1}_lib)
      else()
        target_link_libraries(${target} ${scope} ${sys})
      endif()
    endforeach()
  endif()
  if(srcs)
    orfeda_layer_guards(${folder})
  endif()
endfunction()

# Records which folders <folder> may use: itself and everything below its dependencies.
function(orfeda_register_layer folder depends)
  set(allowed ${folder})
  foreach(d ${depends})
    get_property(below GLOBAL PROPERTY ORFEDA_LAYER_${d})
    if(NOT below)
      message(FATAL_ERROR "src/${folder} depends on src/${d}, which is not defined before it")
    endif()
    list(APPEND allowed ${below})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  set_property(GLOBAL PROPERTY ORFEDA_LAYER_${folder} ${allowed})
endfunction()

function(orfeda_layer_guards folder)
  set(target orfeda_${folder})
  get_property(allowed GLOBAL PROPERTY ORFEDA_LAYER_${folder})
  file(GLOB files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.h
       ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
  set(stamp ${CMAKE_BINARY_DIR}/layers/${folder}.checked)
  string(REPLACE ";" "," allowed_text "${allowed}")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DFOLDER=${folder} -DALLOWED=${allowed_text}
            -DSOURCE_DIR=${CMAKE_SOURCE_DIR}/src -DSTAMP=${stamp}
            -P ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    DEPENDS ${files} ${CMAKE_SOURCE_DIR}/cmake/check_layer.cmake
    COMMENT "Checking the includes of src/${folder}" VERBATIM)
  add_custom_target(${target}_includes DEPENDS ${stamp})
  add_dependencies(${target} ${target}_includes)

  add_executable(${target}_link_check ${CMAKE_SOURCE_DIR}/cmake/link_check_main.cpp)
  target_link_libraries(${target}_link_check PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${target}>")
  orfeda_defaults(${target}_link_check)
endfunction()

# orfeda_delay_import(<lib>): a link library orfeda_delay_<lib> that imports the system DLL
# <lib>.dll on first use instead of at start-up. setup.exe is usually started from a
# downloads folder; the loader looks for a DLL that is not a KnownDLL in the program's own
# folder first, before any of our code runs. Loaded on first use, the DLL comes from
# System32 only (SetDefaultDllDirectories is setup.exe's first call).
function(orfeda_delay_import lib)
  if(NOT WIN32 OR TARGET orfeda_delay_${lib})
    return()
  endif()
  find_library(import_lib_${lib} NAMES lib${lib}.a REQUIRED)
  set(dir ${CMAKE_BINARY_DIR}/delayimp)
  set(def ${dir}/${lib}.def)
  set(out ${dir}/lib${lib}_delay.a)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kill_at --kill-at)
  endif()
  string(REPLACE "gcc-posix" "dlltool" dlltool "${CMAKE_C_COMPILER}")
  string(REPLACE "gcc-posix" "nm" nm "${CMAKE_C_COMPILER}")
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -DNM=${nm} -DIMPORT_LIB=${import_lib_${lib}} -DDLL=${lib}.dll
            -DDEF=${def} -P ${CMAKE_SOURCE_DIR}/cmake/delay_import.cmake
    COMMAND ${dlltool} --input-def ${def} --output-delaylib ${out} --dllname ${lib}.dll ${kill_at}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/delay_import.cmake
    COMMENT "Delay-load import library for ${lib}.dll" VERBATIM)
  add_custom_target(orfeda_delay_${lib}_lib DEPENDS ${out})
  add_library(orfeda_delay_${lib} INTERFACE)
  target_link_libraries(orfeda_delay_${lib} INTERFACE ${out})
endfunction()
