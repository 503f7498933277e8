# The old pendant and the pendant-less window.
list(APPEND TARVISK_PENDANT_SOURCES
    frmoldtp.cpp frmoldtp.h
    frmoldtp_keys.cpp frmoldtp_keys.h
    frmoldtp_paint.cpp frmoldtp_paint.h
    frmtpless.cpp frmtpless.h)
