# The mini pendant's graphic display and its bitmap font; no window code.
tarvisk_add_library(tarvisk_display
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/minidisplay.cpp ${CMAKE_CURRENT_LIST_DIR}/minidisplay.h
    ${CMAKE_CURRENT_LIST_DIR}/displaybits.cpp ${CMAKE_CURRENT_LIST_DIR}/displaybits.h
    ${CMAKE_CURRENT_LIST_DIR}/minidisplaytext.cpp ${CMAKE_CURRENT_LIST_DIR}/minidisplaytext.h
    ${CMAKE_CURRENT_LIST_DIR}/unifont.cpp ${CMAKE_CURRENT_LIST_DIR}/unifont.h
  PUBLIC_LIBS tarvisk_common Qt6::Gui)
# Coverage for the libFuzzer targets under fuzz/display.
if(TARVISK_BUILD_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  target_compile_options(tarvisk_display PRIVATE -fsanitize=fuzzer-no-link)
endif()
