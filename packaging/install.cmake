# Installation helpers, included by the top level before any folder that installs.
include(GNUInstallDirs)

set(TARVISK_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

# The maintainer the package, its changelog and its copyright name; a build for another
# distributor sets its own address.
set(TARVISK_MAINTAINER_MAIL "developers@tarvisk.org" CACHE STRING "Mail address of the package's maintainer")
set(TARVISK_MAINTAINER "Tarvisk developers <${TARVISK_MAINTAINER_MAIL}>")

# tarvisk_install_configured(TEMPLATE OUTPUT DESTINATION [VAR=value ...])
# Installs TEMPLATE to DESTINATION (relative to the prefix), its @VAR@ references replaced at
# install time, so that a path such as @TARVISK_SERVICE_EXEC@ names the prefix installed to.
# The VAR=value pairs are further variables for the template (values without ";" or quotes).
function(tarvisk_install_configured template output destination)
  set(extra "")
  foreach(pair ${ARGN})
    if(NOT pair MATCHES "^([A-Za-z_][A-Za-z0-9_]*)=(.*)$")
      message(FATAL_ERROR "tarvisk_install_configured: \"${pair}\" is not VAR=value")
    endif()
    string(APPEND extra "set(${CMAKE_MATCH_1} \"${CMAKE_MATCH_2}\")\n")
  endforeach()
  install(CODE "set(tarvisk_template \"${template}\")
set(tarvisk_output \"${output}\")
set(tarvisk_destination \"${destination}\")
set(tarvisk_bindir \"${CMAKE_INSTALL_BINDIR}\")
set(tarvisk_datadir \"${CMAKE_INSTALL_DATADIR}\")
${extra}include(\"${TARVISK_PACKAGING_DIR}/installconfigured.cmake\")")
endfunction()
