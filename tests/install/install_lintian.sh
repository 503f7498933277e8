#!/usr/bin/env bash
# Builds the Debian package of the build tree and holds it to Debian's rules: lintian must report
# no error and no warning, and the AppStream description must pass appstreamcli's validation.
# Usage: install_lintian.sh BUILD_DIR CPACK
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/lib.sh"
cpack="${2:?usage: $0 BUILD_DIR CPACK}"
need lintian dpkg-deb appstreamcli

if ! "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/package" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
fi
deb="$(ls "$work"/package/tarvisk_*.deb)"

# Run as root, lintian prints a notice of its own (no tag): about this machine, not the package.
lintian --tag-display-limit 0 --display-info --fail-on error,warning "$deb" >"$work/lintian.log" 2>&1
status=$?
cat "$work/lintian.log"
if [ "$status" -ne 0 ] || grep -qE '^(E|W): ' "$work/lintian.log"; then
  fail "lintian reports errors or warnings (exit $status)"
fi

root="$work/root"
dpkg -x "$deb" "$root" || fail "dpkg -x"
metainfo="$root/usr/share/metainfo/zephprov.halvex.tarvisk.metainfo.xml"
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream.log")"
  version="$(dpkg-deb -f "$deb" Version)"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "the AppStream releases lack $version"
  grep -q '<launchable type="desktop-id">tarvisk.desktop</launchable>' "$metainfo" &&
    [ -f "$root/usr/share/applications/tarvisk.desktop" ] || fail "the AppStream launchable names no installed desktop file"
else
  fail "the package lacks /usr/share/metainfo/zephprov.halvex.tarvisk.metainfo.xml"
fi

finish
