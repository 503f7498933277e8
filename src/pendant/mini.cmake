# The mini pendant window.
list(APPEND TARVISK_PENDANT_SOURCES frmminitp.cpp frmminitp.h frmminitp_key.cpp frmminitp_key.h)
