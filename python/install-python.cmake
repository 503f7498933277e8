# Installs the package `tarvisk` (an install(CODE) snippet of python/CMakeLists.txt sets the
# variables): its modules, and a dist-info folder that names its version and its pytest plugin,
# so that pytest loads the fixtures by itself.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(site "lib/python3/dist-packages")
else()
  set(site "lib/python${tarvisk_python_version}/dist-packages")
endif()
set(site "${CMAKE_INSTALL_PREFIX}/${site}")
file(INSTALL DESTINATION "${site}/tarvisk" TYPE FILE FILES ${tarvisk_python_modules})

string(MD5 key "$ENV{DESTDIR}|${CMAKE_INSTALL_PREFIX}")
set(info "${tarvisk_python_staging}/${key}/tarvisk-${tarvisk_version}.dist-info")
file(WRITE "${info}/METADATA" "Metadata-Version: 2.1\nName: tarvisk\nVersion: ${tarvisk_version}\nSummary: Client library of the Tarvisk pendant emulator\nRequires-Dist: jeepney\n")
file(WRITE "${info}/entry_points.txt" "[pytest11]\ntarvisk = tarvisk.pytest_plugin\n")
file(WRITE "${info}/top_level.txt" "tarvisk\n")
file(WRITE "${info}/INSTALLER" "cmake\n")
file(INSTALL DESTINATION "${site}" TYPE DIRECTORY FILES "${info}")
file(REMOVE_RECURSE "${tarvisk_python_staging}/${key}")
