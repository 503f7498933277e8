# The pendant windows and their shared pieces. Each further window lists its files in its
# own include (mini.cmake, old.cmake), appending to TARVISK_PENDANT_SOURCES.
set(TARVISK_PENDANT_SOURCES
    keystate.cpp keystate.h
    windowtimer.cpp windowtimer.h
    connectionstate.cpp connectionstate.h
    ledbank.cpp ledbank.h
    jogdial.cpp jogdial.h
    pictures.cpp pictures.h
    paintbox.cpp paintbox.h
    keymap.cpp keymap.h
    inputpath.cpp inputpath.h
    inputpaint.cpp inputpaint.h
    mousesource.cpp keyboardsource.cpp touchsource.cpp
    pendantbase.cpp pendantbase.h
    frmtp.cpp frmtp.h
    pendants.cpp pendants.h
    pendantparts.cpp pendantparts.h
    zoomstyle.cpp zoomstyle.h
    scriptsource.cpp scriptsource.h
    replaysource.cpp replaysource.h)
include(${CMAKE_CURRENT_LIST_DIR}/mini.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/old.cmake OPTIONAL)

tarvisk_add_library(tarvisk_pendant
  SOURCES ${TARVISK_PENDANT_SOURCES}
  PUBLIC_LIBS tarvisk_provider tarvisk_widgets tarvisk_display tarvisk_common Qt6::Widgets)
