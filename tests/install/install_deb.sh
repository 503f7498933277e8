#!/usr/bin/env bash
# Builds the Debian package of the build tree into a temporary folder and checks it: its name
# and dependencies, its files under /usr, the activation file naming /usr/bin/tarvisk, and the
# programs unpacked into a throw-away root finding every library they link.
# Usage: install_deb.sh BUILD_DIR CPACK
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/lib.sh"
cpack="${2:?usage: $0 BUILD_DIR CPACK}"
need dpkg-deb ldd

if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
fi
debs=("$work"/package/tarvisk_*.deb)
if [ ! -f "${debs[0]}" ] || [ ${#debs[@]} -ne 1 ]; then
  echo "FAIL: cpack made no single tarvisk_*.deb: $(ls "$work/package")" >&2
  exit 1
fi
deb="${debs[0]}"

[ "$(dpkg-deb -f "$deb" Package)" = tarvisk ] || fail "package is named $(dpkg-deb -f "$deb" Package)"
# Depends as a list of package names, one a line (versions and alternatives' bars dropped).
dpkg-deb -f "$deb" Depends | tr ',|' '\n\n' | sed 's/(.*)//; s/[[:space:]]//g' | sed '/^$/d' >"$work/depends"
for p in libqt6widgets6 libqt6network6 libqt6dbus6 qt6-qpa-plugins fonts-dejavu-core fonts-dejavu-extra unifont dbus \
  python3 python3-jeepney; do
  grep -qx "$p" "$work/depends" || fail "Depends lacks $p: $(dpkg-deb -f "$deb" Depends)"
done

root="$work/root"
dpkg -x "$deb" "$root" || fail "dpkg -x"
for f in usr/bin/tarvisk usr/bin/tarvisk-client usr/bin/tarvisk-controller \
  usr/share/applications/tarvisk.desktop usr/share/icons/hicolor/scalable/apps/tarvisk.svg \
  usr/share/man/man1/tarvisk.1.gz usr/share/man/man1/tarvisk-client.1.gz usr/share/man/man1/tarvisk-controller.1.gz \
  usr/share/doc/tarvisk/copyright usr/share/doc/tarvisk/changelog.gz usr/share/metainfo/zephprov.halvex.tarvisk.metainfo.xml \
  usr/lib/python3/dist-packages/tarvisk/__init__.py usr/lib/python3/dist-packages/tarvisk/pytest_plugin.py \
  usr/lib/python3/dist-packages/tarvisk-0.1.0.dist-info/entry_points.txt; do
  [ -f "$root/$f" ] || fail "the package lacks /$f"
done
# Debian's interpreter imports the package from where the package puts it, and pytest finds the
# plugin through its entry point.
if [ -x /usr/bin/python3 ]; then
  PYTHONPATH="$root/usr/lib/python3/dist-packages" /usr/bin/python3 -c '
import importlib.metadata as m, tarvisk
assert tarvisk.Provider and tarvisk.Integer
eps = [e.value for e in m.entry_points(group="pytest11") if e.name == "tarvisk"]
assert eps == ["tarvisk.pytest_plugin"], eps
' || fail "the Python package from the Debian package does not import, or names no pytest plugin"
fi
[ "$(ls "$root")" = usr ] || fail "the package installs outside /usr: $(ls "$root" | tr '\n' ' ')"
grep -qx 'Exec=/usr/bin/tarvisk --automation' "$root/usr/share/dbus-1/services/ZephProv.Halvex.Tarvisk.service" ||
  fail "activation file in the package: $(cat "$root/usr/share/dbus-1/services/ZephProv.Halvex.Tarvisk.service")"
grep -rlF "$work" "$root/usr/share" >"$work/leaks" && fail "files name the build's staging folder: $(cat "$work/leaks")"

for program in tarvisk tarvisk-client tarvisk-controller; do
  missing="$(ldd "$root/usr/bin/$program" | grep 'not found')"
  [ -z "$missing" ] || fail "$program misses libraries: $missing"
done
out="$("$root/usr/bin/tarvisk" --help 2>&1)" || fail "tarvisk --help from the package exits $?"
case "$out" in "Usage: tarvisk "*) ;; *) fail "tarvisk --help from the package printed: $out" ;; esac

finish
