#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks what a desktop gets: the three
# programs, the activation file naming the installed program, a valid menu entry with its icon,
# and manual pages that render and tell every option the programs offer.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/lib.sh"
need desktop-file-validate

prefix="$work/prefix"
install_to "$prefix"
export QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

# --- the tree: programs, data and the Python package only, nothing of the build (no headers, no
# static libraries)
top="$(cd "$prefix" && ls | tr '\n' ' ')"
[ "$top" = "bin lib share " ] || fail "prefix holds \"$top\", expected only bin, lib and share"
[ "$(cd "$prefix/lib" && find . -name '*.a' -o -name '*.so*' -o -name '*.h')" = "" ] || fail "lib holds build files"
# Outside /usr the package goes where Debian's interpreter looks below a prefix.
if [ -x /usr/bin/python3 ]; then
  site="$prefix/lib/python$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')/dist-packages"
  [ -f "$site/tarvisk/__init__.py" ] || fail "the Python package is not in $site"
  PYTHONPATH="$site" /usr/bin/python3 -c 'import tarvisk.pytest_plugin' 2>"$work/import.err" ||
    fail "the installed Python package does not import: $(cat "$work/import.err")"
fi
for program in tarvisk tarvisk-client tarvisk-controller; do
  if [ ! -x "$prefix/bin/$program" ]; then
    fail "bin/$program missing or not executable"
    continue
  fi
  "$prefix/bin/$program" --help >"$work/$program.help" 2>&1 || fail "$program --help exits $?"
done
for f in share/dbus-1/interfaces/ZephProv.IProviderController.xml share/doc/tarvisk/README.md; do
  [ -f "$prefix/$f" ] || fail "$f missing"
done

# --- the activation file: the D-Bus service format, named after its bus name
service="$prefix/share/dbus-1/services/ZephProv.Halvex.Tarvisk.service"
if [ -f "$service" ]; then
  lines="$(grep -v -e '^[[:space:]]*#' -e '^[[:space:]]*$' "$service")"
  expected="[D-BUS Service]
Name=ZephProv.Halvex.Tarvisk
Exec=$prefix/bin/tarvisk --automation"
  [ "$lines" = "$expected" ] || fail "activation file reads
$lines
expected
$expected"
else
  fail "share/dbus-1/services/ZephProv.Halvex.Tarvisk.service missing"
fi

# --- the menu entry: validator silent (no error, warning or hint), standalone start, our icon
desktop="$prefix/share/applications/tarvisk.desktop"
if [ -f "$desktop" ]; then
  report="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate failed"
  [ -z "$report" ] || fail "desktop-file-validate says: $report"
  for line in Type=Application Exec=tarvisk Icon=tarvisk Terminal=false; do
    grep -qx "$line" "$desktop" || fail "desktop entry lacks $line"
  done
  grep -q '^Categories=\(.*;\)\?Development;' "$desktop" || fail "desktop entry not in Development"
else
  fail "share/applications/tarvisk.desktop missing"
fi

# --- the icon: an SVG that renders to a square picture
icon="$prefix/share/icons/hicolor/scalable/apps/tarvisk.svg"
if [ -f "$icon" ]; then
  [ "$(file -b --mime-type "$icon")" = image/svg+xml ] || fail "icon is $(file -b "$icon"), not SVG"
  if command -v rsvg-convert >/dev/null; then
    rsvg-convert -w 48 -h 48 "$icon" -o "$work/icon.png" 2>"$work/rsvg.log" || fail "icon does not render: $(cat "$work/rsvg.log")"
    file -b "$work/icon.png" | grep -q 'PNG image data, 48 x 48' || fail "icon renders as $(file -b "$work/icon.png")"
  fi
else
  fail "share/icons/hicolor/scalable/apps/tarvisk.svg missing"
fi

# --- the manual pages
# render PAGE: the page as plain text, one paragraph a line, with ASCII hyphens.
render() {
  groff -man -t -Tutf8 -rLL=400n -P-cbou "$1" 2>"$work/groff.log" | sed -e 's/\xe2\x88\x92/-/g' -e 's/\xe2\x80\x90/-/g'
}
# documents PAGE TEXT...: every TEXT appears in the rendered page.
documents() {
  local page="$1" text
  shift
  for text in "$@"; do
    grep -qF -- "$text" "$work/$page.txt" || fail "$page.1 does not mention \"$text\""
  done
}
# documents_options PROGRAM: every option of PROGRAM --help is in its page, "-x, --long" together.
documents_options() {
  local program="$1" pair
  for pair in $(sed -n 's/^ *\(-[A-Za-z]\), \(--[a-z][a-z-]*\).*/\1,\2/p' "$work/$program.help"); do
    documents "$program" "${pair%,*}, ${pair#*,}"
  done
  for pair in $(grep -o -- '--[a-z][a-z-]*' "$work/$program.help" | sort -u); do
    documents "$program" "$pair"
  done
}

if command -v groff >/dev/null; then
  for program in tarvisk tarvisk-client tarvisk-controller; do
    # Installed compressed, as Debian wants manual pages; checked as the source they hold.
    if [ ! -f "$prefix/share/man/man1/$program.1.gz" ]; then
      fail "share/man/man1/$program.1.gz missing"
      continue
    fi
    page="$work/$program.1"
    gzip -dc "$prefix/share/man/man1/$program.1.gz" >"$page" || fail "$program.1.gz does not decompress"
    grep -q '@[A-Z_]*@' "$page" && fail "$program.1 keeps an unreplaced @VARIABLE@"
    groff -man -t -Tutf8 -ww -z "$page" >"$work/warnings" 2>&1 || fail "groff fails on $program.1"
    [ -s "$work/warnings" ] && fail "groff warns on $program.1: $(cat "$work/warnings")"
    render "$page" >"$work/$program.txt"
    if command -v man >/dev/null; then
      MANWIDTH=80 man -l "$page" >/dev/null 2>"$work/man.log" || fail "man -l $program.1: $(cat "$work/man.log")"
    fi
    if command -v lexgrog >/dev/null; then
      lexgrog "$page" >/dev/null || fail "$program.1 has no NAME line that whatis can read"
    fi
    documents "$program" "$program - " SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" "SEE ALSO"
    documents_options "$program"
  done

  # tarvisk: the five arguments as its usage names them, the settings file, the bus.
  for argument in $(sed -n 's/^Usage: tarvisk \(.*\)$/\1/p' "$work/tarvisk.help" | tr -d '[]'); do
    grep -qiF -- "$argument" "$work/tarvisk.txt" || fail "tarvisk.1 lacks the argument $argument"
  done
  documents tarvisk '$XDG_CONFIG_HOME/Tarvisk/Tarvisk.ini' '$Dist$' '$Src$' '$Pendant$' \
    IPAddress Port UseIPAddress UsePort Type 127.0.0.1 5010 255.255.255.255 5009 \
    ZephProv.Halvex.Tarvisk /ZephProv/Halvex/Tarvisk \
    "$prefix/share/dbus-1/services/ZephProv.Halvex.Tarvisk.service"
  grep -qF '$XDG_CONFIG_HOME/Tarvisk/Tarvisk.ini' "$work/tarvisk.help" || fail "tarvisk --help names another settings file"
  documents tarvisk-client ZephProv.Halvex.Tarvisk
else
  # No formatter here: the pages must at least be man(7) source with their sections.
  for program in tarvisk tarvisk-client tarvisk-controller; do
    page="$work/$program.1"
    gzip -dc "$prefix/share/man/man1/$program.1.gz" >"$page" || fail "$program.1.gz missing"
    grep -q '^\.TH ' "$page" && grep -q '^\.SH SYNOPSIS' "$page" || fail "$program.1 is not a manual page"
  done
fi

finish
