#!/usr/bin/env bash
# Two copies on two hosts of their own find each other through real Avahi daemons. Each host is
# a network namespace with its own system bus and avahi-daemon (its /run/avahi-daemon private,
# so nss-mdns asks that host's daemon); a veth pair joins the two and no traffic leaves them.
# Checks that each copy finds the other within 5 s at the other's address and host name, and
# that avahi-browse on one host resolves the other copy at its address and port 6711. Then, with
# the program's windows: berta's options window offers anton's copy within 5 s, berta adds it
# from the receiver list's menu and sends it a line, and anton receives the line. Last, berta
# announces crowds (300 copies; then 2000 names that never resolve followed by 20 copies) and
# anton offers every copy of each soon (the time is printed) and none of the names behind which
# nothing is.
# Each host runs in a PID namespace of its own that dies with it, so nothing it started outlives
# the check, whether the check ends, fails, is interrupted or is killed; namespaces and folders
# left by a check killed outright are removed by the next one.
# Needs root and the tools below; skipped (77) without them.
#   check-two-hosts.sh <discovery_probe> <version> [<window_probe>]
set -euo pipefail

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; failed=1; }

# Waits up to $1 seconds for the command after it to succeed.
await() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# One host, run inside its namespace by the main part below:
#   check-two-hosts.sh --host <name> <chat name> <other host> <other chat name> <work> <probe> <version> [<window probe>]
if [[ ${1:-} == --host ]]; then
  host=$2 chat=$3 other=$4 otherChat=$5 work=$6 probe=$7 version=$8 windows=${9:-}
  dir=$work/$host
  cd "$dir"
  # The program takes the computer's name from the host name.
  hostname "$host"
  mkdir -p /run/avahi-daemon
  mount -t tmpfs tmpfs /run/avahi-daemon

  cat >bus.conf <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
  cat >avahi.conf <<EOF
[server]
host-name=$host
use-ipv4=yes
use-ipv6=no
allow-interfaces=veth0
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
EOF
  # Crowds: berta announces a flood of names that never resolve, then many copies; anton offers
  # every copy and none of the flood, whatever the daemon refuses meanwhile. Each crowd is
  # taken back before the next.
  crowds() {
    [[ -n ${CROWD_SCRIPT:-} ]] || return 0
    local crowd phantoms copies tag crowdPid
    # A search of its own on anton, which counts what it finds.
    if [[ $host == anton ]]; then
      "$probe" "$chat" "$host" "$version" >crowd-probe.out 2>crowd-probe.log &
      pids+=($!)
    fi
    for crowd in $CROWDS; do
      phantoms=${crowd%:*} copies=${crowd#*:} tag=Crowd$phantoms
      if [[ $host == berta ]]; then
        "$CROWD_PYTHON" "$CROWD_SCRIPT" "$phantoms" "$copies" "$tag" >"$tag.out" 2>"$tag.log" &
        crowdPid=$!
        pids+=($crowdPid)
        await 60 test -s "$tag.out" || echo "$host: $tag was not announced"
      else
        crowdFound() { (($(grep -c "^found	[0-9]*	$tag [0-9]* auf berta	" crowd-probe.out) >= copies)); }
        if await 90 crowdFound; then
          date +%s%3N >"$tag.found"
        else
          echo "$host: found $(grep -c "^found	[0-9]*	$tag" crowd-probe.out) of $tag's $copies copies"
        fi
      fi
      touch "$tag.done"
      await 120 test -e "$work/$other/$tag.done" || true
      if [[ $host == berta ]]; then kill "$crowdPid" 2>/dev/null || true; fi
    done
  }

  pids=()
  # This script is the first process of the host's PID namespace: when it ends, the kernel ends
  # whatever is left in there, so it never waits for them.
  trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
  dbus-daemon --config-file=bus.conf --nofork >bus.log 2>&1 &
  pids+=($!)
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/system_bus_socket
  await 30 test -S system_bus_socket || { echo "$host: no system bus"; exit 1; }
  avahi-daemon --no-drop-root --no-chroot --no-rlimits -f avahi.conf >avahi.log 2>&1 &
  pids+=($!)
  running() {
    dbus-send --system --print-reply --dest=org.freedesktop.Avahi / org.freedesktop.Avahi.Server.GetState \
      2>/dev/null | grep -q 'int32 2'
  }
  await 30 running || { echo "$host: avahi-daemon does not run"; cat avahi.log; exit 1; }

  # Both copies start together, so the 5 s count the same for both.
  touch ready
  await 60 test -e "$work/$other/ready" || { echo "$host: the other host never got ready"; exit 1; }
  "$probe" "$chat" "$host" "$version" >probe.out 2>probe.log &
  probePid=$!
  pids+=($probePid)
  found() { grep -qs "^found	.*	$otherChat	" probe.out; }
  await 30 found || echo "$host: did not find $otherChat"
  timeout 20 avahi-browse --resolve --terminate --parsable _plauderdeck._tcp >browse.out 2>browse.log || true
  # The own copy stays announced until the other host has looked too.
  touch done
  await 60 test -e "$work/$other/done" || true

  if [[ -z $windows ]]; then
    crowds
    exit 0
  fi

  # The program's windows, with their chat name the computer's name and no stored settings.
  kill "$probePid" 2>/dev/null || true
  # No session bus: nothing may start one (libdbus would launch a daemon of its own).
  export HOME=$dir XDG_CONFIG_HOME=$dir/config XDG_RUNTIME_DIR=$dir/runtime QT_QPA_PLATFORM=offscreen \
    DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/no-session-bus
  mkdir -p -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
  touch windows-ready
  await 60 test -e "$work/$other/windows-ready" || { echo "$host: the other host never got to the windows"; exit 1; }
  if [[ $host == berta ]]; then
    "$windows" find "$other auf $other" >window.out 2>window.log &
    pids+=($!)
    await 30 grep -qs '^sent' window.out || echo "$host: sent nothing"
  else
    "$windows" wait >window.out 2>window.log &
    pids+=($!)
    await 30 grep -qs '^received' window.out || echo "$host: received nothing"
  fi
  touch windows-done
  await 60 test -e "$work/$other/windows-done" || true
  crowds
  exit 0
fi

probe=$(readlink -f "$1") version=$2 windows=${3:+$(readlink -f "$3")}
failed=0
# How large a crowd berta announces; none where Python cannot talk to the bus.
# The crowds berta announces, as <names that never resolve>:<copies>.
export CROWDS=${CROWDS:-"0:300 2000:20"} CROWD_SCRIPT="" CROWD_PYTHON=""
for python in /usr/bin/python3 python3; do
  if "$python" -c 'import dbus' 2>/dev/null; then
    CROWD_PYTHON=$python CROWD_SCRIPT=$(dirname "$(readlink -f "$0")")/publish-crowd.py
    break
  fi
done
[[ $(id -u) -eq 0 ]] || skip "network namespaces need root"
for tool in ip unshare mount hostname dbus-daemon dbus-send avahi-daemon avahi-browse; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh --test)"
done

# What a check killed outright left behind: its namespaces and folder carry its process number.
for ns in $(ip netns list | grep -oE '^pd-(anton|berta)-[0-9]+'); do
  kill -0 "${ns##*-}" 2>/dev/null || ip netns del "$ns" 2>/dev/null || true
done
for old in /tmp/pd-two-hosts-*; do
  [[ -d $old ]] || continue
  kill -0 "${old##*-}" 2>/dev/null || rm -rf "$old"
done

work=/tmp/pd-two-hosts-$$
rm -rf "$work"
mkdir -m 700 "$work"
nsA=pd-anton-$$ nsB=pd-berta-$$
hostA="" hostB=""
cleanup() {
  # Ending a host's unshare ends the namespace's first process and with it every other one.
  [[ -n $hostA ]] && kill -KILL "$hostA" 2>/dev/null || true
  [[ -n $hostB ]] && kill -KILL "$hostB" 2>/dev/null || true
  wait 2>/dev/null
  ip netns del "$nsA" 2>/dev/null || true
  ip netns del "$nsB" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT
ip netns add "$nsA" || skip "cannot make network namespaces here"
ip netns add "$nsB"
ip link add "pda$$" type veth peer name "pdb$$"
ip link set "pda$$" netns "$nsA"
ip link set "pdb$$" netns "$nsB"
declare -A address=([anton]=10.77.0.1 [berta]=10.77.0.2)
for side in anton berta; do
  ns=$([[ $side == anton ]] && echo "$nsA" || echo "$nsB")
  dev=$([[ $side == anton ]] && echo "pda$$" || echo "pdb$$")
  ip -n "$ns" link set "$dev" name veth0
  ip -n "$ns" addr add "${address[$side]}/24" dev veth0
  ip -n "$ns" link set veth0 up
  ip -n "$ns" link set lo up
  mkdir -p "$work/$side"
done

self=$(readlink -f "$0")
ip netns exec "$nsA" unshare -m -u -p -f --kill-child --mount-proc --propagation private "$self" --host anton Anna berta Bernd "$work" "$probe" "$version" "$windows" &
hostA=$!
ip netns exec "$nsB" unshare -m -u -p -f --kill-child --mount-proc --propagation private "$self" --host berta Bernd anton Anna "$work" "$probe" "$version" "$windows" &
hostB=$!
wait "$hostA" || fail "host anton ended with an error"
wait "$hostB" || fail "host berta ended with an error"
hostA="" hostB=""

# found <ms> <instance> <chat> <host> <address> <port> <address to add>
check_found() {
  local side=$1 otherChat=$2 otherHost=$3 line own
  line=$(grep -m1 "^found	[0-9]*	[^	]*	$otherChat	" "$work/$side/probe.out" || true)
  echo "$side: ${line:-found nothing}"
  [[ -n $line ]] || { fail "$side did not find $otherChat"; return; }
  IFS=$'\t' read -r _ ms instance _ host addr port toAdd <<<"$line"
  ((ms <= 5000)) || fail "$side found $otherChat after $ms ms"
  [[ $instance == "$otherChat auf $otherHost" ]] || fail "$side: instance '$instance'"
  [[ $host == "$otherHost.local" ]] || fail "$side: host name '$host'"
  [[ $addr == "${address[$otherHost]}" && $port == 6711 ]] || fail "$side: at $addr:$port"
  [[ $toAdd == "$otherHost.local" ]] || fail "$side: offers '$toAdd' instead of the host name"
  own=$(grep -m1 '^announced' "$work/$side/probe.out" | cut -f3)
  [[ -n $own ]] || fail "$side never announced itself"
  if grep -q "^found	[0-9]*	$own	" "$work/$side/probe.out"; then fail "$side found itself"; fi
}
# =;<interface>;IPv4;<instance>;<type>;<domain>;<host>;<address>;<port>;<txt>, blanks as \032
check_browse() {
  local side=$1 otherChat=$2 otherHost=$3
  if ! awk -F';' -v name="$otherChat\\\\032auf\\\\032$otherHost" -v host="$otherHost.local" \
    -v addr="${address[$otherHost]}" -v txt="\"name=$otherChat\"" \
    '$1 == "=" && $3 == "IPv4" && $4 == name && $7 == host && $8 == addr && $9 == "6711" && index($10, txt) { ok = 1 }
     END { exit !ok }' "$work/$side/browse.out"; then
    cat "$work/$side/browse.out"
    fail "avahi-browse on $side does not resolve $otherChat at ${address[$otherHost]}:6711"
  fi
}
# found|added|sent|received <ms> ..., as the window probe prints them
check_windows() {
  local found added received ms
  found=$(grep -m1 '^found' "$work/berta/window.out" || true)
  added=$(grep -m1 '^added' "$work/berta/window.out" || true)
  received=$(grep -m1 '^received' "$work/anton/window.out" || true)
  echo "berta's window: ${found:-found nothing}; ${added:-added nothing}"
  echo "anton's window: ${received:-received nothing}"
  [[ -n $found ]] || { fail "berta's options window never offered anton's copy"; return; }
  ms=$(cut -f2 <<<"$found")
  ((ms <= 5000)) || fail "berta's options window offered anton's copy after $ms ms"
  [[ $(cut -f3 <<<"$added") == anton.local ]] || fail "berta added '$(cut -f3 <<<"$added")' instead of anton.local"
  [[ $(cut -f3 <<<"$received") == berta && $received == *"Hallo aus dem Netz" ]] ||
    fail "anton did not receive berta's line"
}
check_found anton Bernd berta
check_found berta Anna anton
check_browse anton Bernd berta
check_browse berta Anna anton
# Each crowd's copies are all offered soon after their announcement; no phantom ever is.
check_crowds() {
  local crowd phantoms copies tag published found
  for crowd in $CROWDS; do
    phantoms=${crowd%:*} copies=${crowd#*:} tag=Crowd$phantoms
    published=$(head -1 "$work/berta/$tag.out" 2>/dev/null || true)
    found=$(cat "$work/anton/$tag.found" 2>/dev/null || true)
    if [[ -z $published || -z $found ]]; then
      fail "anton did not offer all $copies copies behind $phantoms names that never resolve"
      continue
    fi
    echo "anton: all $copies copies offered $((found - published)) ms after berta announced them," \
      "behind $phantoms names that never resolve"
    # A quiet machine offers them within a few seconds; a busy one may take longer, but never
    # half a minute unless names that never resolve starve the others.
    ((found - published <= 30000)) || fail "anton offered $tag after $((found - published)) ms"
  done
  if grep -q "^found	[0-9]*	Phantom" "$work/anton/crowd-probe.out"; then fail "anton offered a phantom"; fi
}
if [[ -n $CROWD_SCRIPT ]]; then check_crowds; fi
if [[ -n $windows ]]; then check_windows; fi

if ((failed)); then
  for side in anton berta; do
    for log in probe.log avahi.log bus.log browse.log window.out window.log Crowd*.log; do
      echo "== $side/$log"
      cat "$work/$side/$log" 2>/dev/null || true
    done
  done
  exit 1
fi
echo "PASS: both copies found each other within 5 s; avahi-browse resolves both at port 6711"
if [[ -n $windows ]]; then echo "PASS: berta's options window offered anton's copy within 5 s; a line sent to it arrived"; fi
