tarvisk_add_library(tarvisk_pendant
  SOURCES
    keystate.cpp keystate.h
    windowtimer.cpp windowtimer.h
    ledbank.cpp ledbank.h
    jogdial.cpp jogdial.h
    pictures.cpp pictures.h
    paintbox.cpp paintbox.h
    pendantbase.cpp pendantbase.h
    frmtp.cpp frmtp.h
    pendants.cpp pendants.h
  PUBLIC_LIBS tarvisk_provider tarvisk_widgets tarvisk_common Qt6::Widgets)
