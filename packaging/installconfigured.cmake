# Installs one file configured at install time, so that the paths written into it name the
# prefix actually installed to (`cmake --install --prefix`, or /usr inside the Debian package),
# not the prefix the build tree was configured with.
#
# The caller (an install(CODE) snippet) sets:
#   tarvisk_template     the @VAR@ template
#   tarvisk_output       where the configured file is made in the build tree (for the moment)
#   tarvisk_destination  its folder, relative to the prefix
#   tarvisk_bindir, tarvisk_datadir  the programs' and the data's folders, relative to the prefix
# Variables offered to the template: TARVISK_SERVICE_EXEC, TARVISK_FULL_BINDIR,
# TARVISK_FULL_DATADIR, plus whatever the snippet sets itself (TARVISK_GZIP among them).

if(NOT IS_ABSOLUTE "${CMAKE_INSTALL_PREFIX}")
  message(FATAL_ERROR "install prefix \"${CMAKE_INSTALL_PREFIX}\" is not an absolute path")
endif()
set(TARVISK_FULL_BINDIR "${CMAKE_INSTALL_PREFIX}/${tarvisk_bindir}")
set(TARVISK_FULL_DATADIR "${CMAKE_INSTALL_PREFIX}/${tarvisk_datadir}")
set(TARVISK_SERVICE_EXEC "${TARVISK_FULL_BINDIR}/tarvisk")
# One configured copy per destination, so that installs to different prefixes running at the
# same time (the install tests, a package build) never hand each other their files.
string(MD5 destination_key "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
get_filename_component(output_dir "${tarvisk_output}" DIRECTORY)
get_filename_component(output_name "${tarvisk_output}" NAME)
set(configured "${output_dir}/${destination_key}/${output_name}")
configure_file("${tarvisk_template}" "${configured}" @ONLY)
# TARVISK_GZIP=1 installs the file compressed (manual pages), without a name or time stamp in
# the header, so that the same page always gives the same bytes.
if(TARVISK_GZIP)
  find_program(tarvisk_gzip gzip REQUIRED)
  execute_process(COMMAND "${tarvisk_gzip}" -9nf "${configured}" RESULT_VARIABLE gzip_status)
  if(NOT gzip_status EQUAL 0)
    message(FATAL_ERROR "gzip ${configured} failed: ${gzip_status}")
  endif()
  set(configured "${configured}.gz")
endif()
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${tarvisk_destination}" TYPE FILE FILES "${configured}")
file(REMOVE_RECURSE "${output_dir}/${destination_key}")
