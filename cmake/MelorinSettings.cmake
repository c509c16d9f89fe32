# The one place for compiler settings: every Melorin target links melorin_settings.
add_library(melorin_settings INTERFACE)
target_compile_features(melorin_settings INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(melorin_settings INTERFACE -Wall -Wextra -Wpedantic -Werror)
target_compile_definitions(melorin_settings INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_URL_CAST_FROM_STRING)

if(MELORIN_SANITIZE)
  target_compile_options(melorin_settings INTERFACE -fsanitize=${MELORIN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(melorin_settings INTERFACE -fsanitize=${MELORIN_SANITIZE})
endif()

# Adds a QtTest program to CTest. Usage: melorin_add_test(NAME SOURCES... LIBS ...)
function(melorin_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE melorin_settings Qt6::Test ${ARG_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QTWEBENGINE_DISABLE_SANDBOX=1;QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox;MELORIN_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# libFuzzer targets (MELORIN_FUZZ, clang only). The library under test carries the coverage
# instrumentation the fuzzer is guided by; each fuzzer links it with the fuzzer's main.
function(melorin_fuzzed_library lib)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "MELORIN_FUZZ needs clang")
  endif()
  target_compile_options(${lib} PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
  target_link_options(${lib} INTERFACE -fsanitize=address,undefined)
endfunction()

function(melorin_add_fuzzer name source lib)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE ${lib})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
endfunction()
