# Shared helpers for the project's targets.

# tarvisk_add_library(<name> SOURCES ... PUBLIC_LIBS ... PRIVATE_LIBS ...)
# A static library whose headers are included as "<folder>/<header>.h" from src/.
function(tarvisk_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
endfunction()

# Test environment for the sanitized build: leak reports of system libraries are suppressed by
# tests/sanitizer/lsan.supp, and undefined-behaviour reports carry a stack. Empty otherwise; tests
# added with add_test can put it into their ENVIRONMENT too.
set(TARVISK_SANITIZER_ENV "")
if(TARVISK_SANITIZE)
  set(TARVISK_SANITIZER_ENV
    "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/sanitizer/lsan.supp:print_suppressions=0"
    "UBSAN_OPTIONS=print_stacktrace=1")
endif()

# tarvisk_add_test(<name> SOURCES ... LIBS ... [XVFB] [ENV var=value ...] [TIMEOUT s])
# One QtTest executable registered with CTest, linked with the test-support library
# (tests/support); widgets render offscreen, or on a private Xvfb server with XVFB (for what
# only a real X server shows).
function(tarvisk_add_test name)
  cmake_parse_arguments(ARG "XVFB" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} tarvisk_test_support Qt6::Test)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  if(ARG_XVFB)
    add_test(NAME ${name} COMMAND ${PROJECT_SOURCE_DIR}/tests/with-xvfb.sh $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=qt.qpa.*=false;TARVISK_SOURCE_DIR=${PROJECT_SOURCE_DIR};${TARVISK_SANITIZER_ENV};${ARG_ENV}")
endfunction()

# tarvisk_add_bench(<name> SOURCES ... LIBS ...)
function(tarvisk_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/bench)
endfunction()
