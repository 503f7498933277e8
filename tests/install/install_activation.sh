#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, starts a private session bus that knows only
# that prefix's services folder, and lets the bus start the installed provider on a client's
# call: first a bare ping, then the installed tarvisk-client showing a pendant. Needs no display
# and no bus of the session: the bus and the provider both go with the test.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/lib.sh"
need dbus-daemon gdbus

prefix="$work/prefix"
install_to "$prefix"

cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <servicedir>$prefix/share/dbus-1/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF

# The bus hands its own environment to the programs it starts.
export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME="$work/config"
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS

dbus-daemon --config-file="$work/bus.conf" --fork --print-address=3 --print-pid=4 3>"$work/address" 4>"$work/bus.pid" ||
  { echo "FAIL: dbus-daemon does not start" >&2; exit 1; }
bus_pid="$(head -n1 "$work/bus.pid")"
cleanups+=('kill "$bus_pid" 2>/dev/null')
DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$work/address")"
export DBUS_SESSION_BUS_ADDRESS

bus() {
  gdbus call --session --timeout 20 --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method "org.freedesktop.DBus.$1" "${@:2}"
}

# The bus read the installed services folder, and nothing owns the name yet.
bus ListActivatableNames | grep -qF "'ZephProv.Halvex.Tarvisk'" ||
  fail "the bus does not offer ZephProv.Halvex.Tarvisk from $prefix/share/dbus-1/services"
[ "$(bus NameHasOwner ZephProv.Halvex.Tarvisk)" = "(false,)" ] || fail "the name is owned before any call"

# A ping to the name starts the provider.
reply="$(gdbus call --session --timeout 20 --dest ZephProv.Halvex.Tarvisk --object-path /ZephProv/Halvex/Tarvisk \
  --method org.freedesktop.DBus.Peer.Ping 2>&1)"
[ "$reply" = "()" ] || fail "ping through activation answered: $reply"

provider_pid="$(bus GetConnectionUnixProcessID ZephProv.Halvex.Tarvisk 2>/dev/null | sed -n 's/^(uint32 \([0-9]*\),)$/\1/p')"
if [ -z "$provider_pid" ]; then
  fail "no process owns ZephProv.Halvex.Tarvisk after the ping"
  finish
fi
cleanups+=('kill "$provider_pid" 2>/dev/null')
# It is the installed program, started as the activation file says.
[ "$(readlink "/proc/$provider_pid/exe")" = "$prefix/bin/tarvisk" ] ||
  fail "the bus started $(readlink "/proc/$provider_pid/exe"), not $prefix/bin/tarvisk"
[ "$(tr '\0' ' ' <"/proc/$provider_pid/cmdline")" = "$prefix/bin/tarvisk --automation " ] ||
  fail "the provider runs as \"$(tr '\0' ' ' <"/proc/$provider_pid/cmdline")\""

# The root object serves the provider interface.
gdbus introspect --session --dest ZephProv.Halvex.Tarvisk --object-path /ZephProv/Halvex/Tarvisk \
  >"$work/introspect" 2>&1 || fail "introspection of the root object failed: $(cat "$work/introspect")"
grep -q 'interface ZephProv.Halvex.Tarvisk.Provider' "$work/introspect" || fail "the root object lacks ZephProv.Halvex.Tarvisk.Provider"

# The installed client drives a pendant window of the installed provider.
out="$("$prefix/bin/tarvisk-client" -o PendantType=0 show getvisible 2>&1)"
status=$?
[ "$status" -eq 0 ] || fail "tarvisk-client exits $status: $out"
[ "$out" = "$(printf 'getvisible\ttrue')" ] || fail "tarvisk-client printed: $out"

# Without its bus the provider has nothing left to do and ends by itself.
kill "$bus_pid"
for _ in $(seq 1 100); do
  kill -0 "$provider_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$provider_pid" 2>/dev/null; then
  fail "the provider still runs 10 s after its bus went away"
fi

finish
