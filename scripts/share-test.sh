#!/usr/bin/env bash
# One data directory shared by several workstations: two workstations are two mounts of one
# exported folder, each with its own ConfigClient.xml, and their programs run at once. Over sshfs
# (a private sshd on 127.0.0.1 with keys of its own), on the local disk from two pid namespaces,
# and, with --smb, over Samba and smbnetfs on 127.0.0.1 (packages samba and smbnetfs). On each it
# measures:
#   - a save held open on one workstation while the other runs Initialize(), info and check:
#     whether its temporary file survives (live temporaries removed);
#   - saves on one workstation while the other calls Initialize() in a loop (failed saves);
#   - loads while saves of the same method go on, on the same mount and on the other one (failed
#     loads, and loads that returned no whole saved method; sshfs and the local disk);
#   - both workstations saving and loading one method at once, with different host names and
#     with the same one (failed saves and loads); then, with the history on, both saving one
#     method 20 times at once: a record of each acknowledged save, and git fsck finds it whole;
#   - a workstation killed at a random moment while it saves strictly increasing stamps and reads,
#     its file system client with it; the other one then starts and loads the method, whose stamp
#     must be the newest acknowledged one or newer (lost and older methods), or, every other
#     round, deletes it, after which it must stay deleted; the kills that left the file missing
#     on the server, the case that recovery is for, are counted;
#   - on the local disk, a writer killed in a container before and after its save was complete,
#     and the workstation back as a new container: nothing of it left, and a delete that holds;
#   - a compressed run read with TMPDIR on the share.
# Prints the figures and fails unless every count of failures is 0. Needs root: it mounts file
# systems, starts daemons and makes pid namespaces; it stops only the daemons it started, by pid,
# and unmounts what it mounted.
#
# Usage: scripts/share-test.sh [--saves N] [--rounds N] [--smb] [--build-dir DIR]
#   --saves N   saves in each loop (default 1000)
#   --rounds N  killed-workstation rounds on each network mount (default 40)
#   --smb       also over Samba and smbnetfs, installing them when they are missing
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

usage() {
  echo "Usage: scripts/share-test.sh [--saves N] [--rounds N] [--smb] [--build-dir DIR]" >&2
  exit 2
}

saves=1000
rounds=40
build=build
smb=0
while [ $# -gt 0 ]; do
  case "$1" in
    --saves) [ $# -ge 2 ] || usage; saves=$2; shift 2 ;;
    --rounds) [ $# -ge 2 ] || usage; rounds=$2; shift 2 ;;
    --smb) smb=1; shift ;;
    --build-dir) [ $# -ge 2 ] || usage; build=$2; shift 2 ;;
    *) usage ;;
  esac
done
[[ "$saves" =~ ^[1-9][0-9]*$ && "$rounds" =~ ^[0-9]+$ ]] || usage
if [ "$(id -u)" -ne 0 ]; then
  echo "scripts/share-test.sh mounts file systems and starts sshd: run it as root" >&2
  exit 1
fi

if [ "$smb" = 1 ]; then
  scripts/deps.sh openssh-server sshfs fuse3 samba smbnetfs
else
  scripts/deps.sh openssh-server sshfs fuse3
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target wqrepos wqrepos_share_driver >/dev/null
driver=$root/$build/tests/wqrepos_share_driver
tool=$root/$build/bin/wqrepos
run=$root/datafile/tests/data/peakpicker_tutorial_1_picked.mzML.gz

work=$(mktemp -d /tmp/wqshare-XXXXXX)
daemons=()  # pids of the daemons started here
mounts=()   # mount points made here

cleanup() {
  set +e
  local point pid
  for point in "${mounts[@]}"; do
    mountpoint -q "$point" && { fusermount3 -u "$point" 2>/dev/null || fusermount3 -uz "$point"; }
  done
  for pid in "${daemons[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${daemons[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

# Waits up to 10 s for `test` to pass.
await() {
  local i
  for i in $(seq 100); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# ---- the daemons and mounts ----

start_sshd() {
  mkdir -p "$work/ssh" /run/sshd
  ssh-keygen -q -t ed25519 -N '' -f "$work/ssh/host" -C wqshare-host
  ssh-keygen -q -t ed25519 -N '' -f "$work/ssh/user" -C wqshare-user
  cp "$work/ssh/user.pub" "$work/ssh/authorized_keys"
  local attempt
  for attempt in 1 2 3 4 5; do
    sshd_port=$((40000 + RANDOM % 20000))
    cat >"$work/ssh/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $sshd_port
HostKey $work/ssh/host
AuthorizedKeysFile $work/ssh/authorized_keys
PidFile none
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
UsePAM no
StrictModes no
Subsystem sftp internal-sftp
EOF
    : >"$work/ssh/log"
    /usr/sbin/sshd -D -f "$work/ssh/sshd_config" -E "$work/ssh/log" &
    sshd_pid=$!
    if await grep -q "Server listening" "$work/ssh/log"; then
      daemons+=("$sshd_pid")
      return 0
    fi
    kill "$sshd_pid" 2>/dev/null || true
    wait "$sshd_pid" 2>/dev/null || true
  done
  echo "sshd did not start:" >&2
  cat "$work/ssh/log" >&2
  return 1
}

# mount_sshfs POINT [OPTIONS]: an sshfs view of the exported folder, with sshfs's default cache
# unless OPTIONS say otherwise; its pid is left in last_client.
mount_sshfs() {
  local point=$1 options=${2:-}
  mkdir -p "$point"
  sshfs -f -p "$sshd_port" \
    -o "IdentityFile=$work/ssh/user,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null" \
    -o "BatchMode=yes,LogLevel=ERROR${options:+,$options}" \
    "root@127.0.0.1:$work/export" "$point" &
  last_client=$!
  mounts+=("$point")
  await mountpoint -q "$point" || { echo "sshfs did not mount $point" >&2; return 1; }
}

unmount() {
  mountpoint -q "$1" && { fusermount3 -u "$1" 2>/dev/null || fusermount3 -uz "$1"; }
  return 0
}

# A Samba server of its own on 127.0.0.1, sharing the exported folder as "share" to root, with
# every file of its state under the work folder; its pid is kept, and its port in smb_port.
start_samba() {
  local dir=$work/samba
  mkdir -p "$dir"/{state,lock,pid,private,cache,log} "$work/smbhome/.smb"
  smb_port=$((40000 + RANDOM % 20000))
  cat >"$dir/smb.conf" <<EOF
[global]
  server role = standalone server
  interfaces = 127.0.0.1
  bind interfaces only = yes
  smb ports = $smb_port
  disable netbios = yes
  lock directory = $dir/lock
  state directory = $dir/state
  cache directory = $dir/cache
  pid directory = $dir/pid
  private dir = $dir/private
  ncalrpc dir = $dir/state/ncalrpc
  log file = $dir/log/smbd.log
  passdb backend = tdbsam:$dir/private/passdb.tdb
  load printers = no
  printcap name = /dev/null
  disable spoolss = yes
[share]
  path = $work/export
  read only = no
EOF
  local password
  password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
  printf '%s\n%s\n' "$password" "$password" |
    smbpasswd -c "$dir/smb.conf" -s -a root >/dev/null
  # A process group of its own: on its way out smbd signals its whole group.
  smbd --foreground -s "$dir/smb.conf" >"$dir/log/stdout" 2>&1 &
  daemons+=("$!")
  printf 'auth "127.0.0.1" "root" "%s"\nsmb_query_browsers "false"\n' "$password" \
    >"$work/smbhome/.smb/smbnetfs.conf"
  chmod 600 "$work/smbhome/.smb/smbnetfs.conf"
  await eval "ss -ltn | grep -q '127.0.0.1:$smb_port '"
}

# mount_smbnetfs POINT: an smbnetfs view of the Samba share; the data lie in POINT, a link into
# smbnetfs's tree of hosts mounted at POINT.fs, and its pid is left in last_client.
mount_smbnetfs() {
  local point=$1
  mkdir -p "$point.fs"
  HOME=$work/smbhome smbnetfs -f "$point.fs" >/dev/null 2>&1 &
  last_client=$!
  mounts+=("$point.fs")
  rm -f "$point"
  ln -s "$point.fs/127.0.0.1:$smb_port/share" "$point"
  await test -d "$point/" || { echo "smbnetfs did not mount $point" >&2; return 1; }
}

# ---- one workstation ----

# workstation NAME FOLDER [HISTORY]: a ConfigClient.xml that keeps the data under FOLDER/WQData,
# with the history of the stored items off unless HISTORY is "on". The loops that count the
# faults of files keep no history: a record is a commit into a git repository on the share, which
# over sshfs costs many times the save it records and would make them take most of an hour.
workstation() {
  local history=off
  [ "${3:-}" != on ] || history=on
  cat >"$work/$1.xml" <<EOF
<AcqClient><HostName>127.0.0.1</HostName><Port>4000</Port><BaseDir>$2/WQData</BaseDir><History>$history</History></AcqClient>
EOF
}

# on NAME COMMAND...: runs COMMAND as workstation NAME.
on() {
  local name=$1
  shift
  WQREPOS_CONFIG=$work/$name.xml "$@"
}

# The number after "LABEL: " in the file FILE; "?" when missing.
figure() { grep -o "$1: [0-9]*" "$2" | head -1 | grep -o '[0-9]*$' || echo '?'; }

# The sum of the numbers after "LABEL: " in FILES; "?" when one is missing.
figure_sum() {
  local label=$1 file value sum=0
  shift
  for file in "$@"; do
    value=$(figure "$label" "$file")
    [ "$value" != '?' ] || { echo '?'; return; }
    sum=$((sum + value))
  done
  echo "$sum"
}

# ---- the checks; each adds its figures to the table ----

results=()
failures=0

report() {  # report SETUP WHAT VALUE [TARGET]: a line of the table, counted as failed unless VALUE is TARGET
  local target=${4:-0}
  results+=("$(printf '%-34s %-46s %s' "$1" "$2" "$3")")
  if [ "$3" != "$target" ]; then
    results[-1]+="   <- must be $target"
    failures=$((failures + 1))
  fi
}

# The writer's and the cleaner's programs run through these: plain; in a pid namespace of their
# own, as in a container; or in one with a host name of its own too, as on another computer that
# shares the mount (the boot is the same, so only the pid namespace tells them apart).
writer_wrap=plain
cleaner_wrap=plain
plain() { "$@"; }
in_namespace() { unshare --pid --fork --mount-proc "$@"; }
# Under a shell, so that the program is not pid 1 of its namespace.
namespaced() { unshare --pid --fork --mount-proc sh -c '"$@"; exit $?' sh "$@"; }
another_computer() {
  unshare --pid --fork --mount-proc --uts sh -c 'hostname workstation-b; "$@"; exit $?' sh "$@"
}

# held_save SETUP WRITER CLEANER: WRITER holds a save open while CLEANER runs Initialize(), init
# and check.
held_save() {
  local setup=$1 writer=$2 cleaner=$3
  rm -f "$work/ready" "$work/stop"
  on "$writer" $writer_wrap "$driver" hold Held "$work/ready" "$work/stop" >"$work/held.out" 2>&1 &
  local pid=$!
  await test -e "$work/ready"
  on "$cleaner" $cleaner_wrap "$driver" verify Held >/dev/null 2>&1 || true
  on "$cleaner" $cleaner_wrap "$tool" init >/dev/null 2>&1 || true
  on "$cleaner" $cleaner_wrap "$tool" check >/dev/null 2>&1 || true
  touch "$work/stop"
  local removed=0
  wait "$pid" || removed=1
  report "$setup" "live temporaries removed (held save)" "$removed"
}

# saves_under_initialize SETUP WRITER CLEANER
saves_under_initialize() {
  local setup=$1 writer=$2 cleaner=$3
  rm -f "$work/stop"
  on "$cleaner" $cleaner_wrap "$driver" initialize "$work/stop" >"$work/init.out" 2>&1 &
  local pid=$!
  on "$writer" $writer_wrap "$driver" save Loop "$saves" >"$work/save.out" 2>"$work/save.err" || true
  touch "$work/stop"
  wait "$pid" || true
  report "$setup" "failed saves of $saves under Initialize() loop" "$(figure failed "$work/save.out")"
  head -3 "$work/save.err" | sed 's/^/    /'
}

# loads_during_saves SETUP WRITER READER
loads_during_saves() {
  local setup=$1 writer=$2 reader=$3
  rm -f "$work/stop"
  on "$writer" "$driver" save Read 1 >/dev/null
  on "$reader" "$driver" load Read "$work/stop" >"$work/load.out" 2>"$work/load.err" &
  local pid=$!
  on "$writer" "$driver" save Read "$saves" >/dev/null 2>&1 || true
  touch "$work/stop"
  wait "$pid" || true
  local loads failed wrong
  loads=$(figure loads "$work/load.out")
  report "$setup" "failed loads ($loads during $saves saves)" "$(figure failed "$work/load.out")"
  report "$setup" "loads returning wrong data" "$(figure wrong "$work/load.out")"
  head -3 "$work/load.err" | sed 's/^/    /'
}

# both_save_and_load SETUP A WRAP_A B WRAP_B: workstations A and B, their programs run through
# WRAP_A and WRAP_B, both save and load one method at once, each with a reader of it beside (a
# FUSE client hides a file open on it while another of its programs replaces it).
both_save_and_load() {
  local setup=$1 pids=() side
  rm -f "$work/stop"
  on "$2" "$driver" save Both 1 >/dev/null
  on "$2" $3 "$driver" load Both "$work/stop" >"$work/ra.out" 2>"$work/ra.err" &
  pids+=("$!")
  on "$4" $5 "$driver" load Both "$work/stop" >"$work/rb.out" 2>"$work/rb.err" &
  pids+=("$!")
  on "$2" $3 "$driver" exchange Both "$saves" 1000000 >"$work/xa.out" 2>"$work/xa.err" &
  local exchange=$!
  on "$4" $5 "$driver" exchange Both "$saves" 2000000 >"$work/xb.out" 2>"$work/xb.err" || true
  wait "$exchange" || true
  touch "$work/stop"
  for side in "${pids[@]}"; do wait "$side" || true; done
  report "$setup" "both save and load one method: failed saves" \
    "$(figure_sum "failed saves" "$work/xa.out" "$work/xb.out")"
  report "$setup" "both save and load one method: failed loads" \
    "$(figure_sum "failed loads" "$work/xa.out" "$work/xb.out")"
  report "$setup" "  and beside them: failed loads" \
    "$(figure_sum failed "$work/ra.out" "$work/rb.out")"
  report "$setup" "  loads returning wrong data" \
    "$(figure_sum wrong "$work/xa.out" "$work/xb.out" "$work/ra.out" "$work/rb.out")"
  cat "$work"/{xa,xb,ra,rb}.err | head -3 | sed 's/^/    /'
}

# recorded SETUP A WRAP_A B WRAP_B HISTORY: workstations A and B with their history on,
# their programs run through WRAP_A and WRAP_B, save one method at once, 20 times each; the history
# repository HISTORY must then hold a record of each acknowledged save, and git fsck find it whole.
recorded() {
  local setup=$1 history=$6 side before after acked missing fsck=0
  for side in "$2" "$4"; do
    sed 's|<History>off</History>|<History>on</History>|' "$work/$side.xml" >"$work/$side-on.xml"
  done
  before=$(git -C "$history" log --format=%s main 2>/dev/null |
    grep -cx 'save AcqMethod/Recorded.kem' || true)
  rm -f "$work/acks-a" "$work/acks-b"
  on "$2-on" $3 "$driver" save Recorded 20 1000000 "$work/acks-a" >/dev/null 2>"$work/ra.err" &
  local pid=$!
  on "$4-on" $5 "$driver" save Recorded 20 2000000 "$work/acks-b" >/dev/null 2>"$work/rb.err" ||
    true
  wait "$pid" || true
  acked=$(cat "$work/acks-a" "$work/acks-b" 2>/dev/null | wc -l)
  after=$(git -C "$history" log --format=%s main 2>/dev/null |
    grep -cx 'save AcqMethod/Recorded.kem' || true)
  missing=$((acked - (after - before)))
  missing=$((missing > 0 ? missing : 0))
  report "$setup" "acknowledged saves not in the history (of $acked)" "$missing"
  cat "$work/ra.err" "$work/rb.err" | head -3 | sed 's/^/    /'
  git -C "$history" fsck --strict --no-dangling >"$work/fsck.out" 2>&1 || fsck=1
  report "$setup" "git fsck of the history (exit)" "$fsck"
  head -3 "$work/fsck.out" | sed 's/^/    /'
}

# killed_rounds SETUP MOUNT_FUNCTION POINT SURVIVOR: in each round the workstation at POINT saves
# one method with strictly increasing stamps and loads it through a client of its own, and the
# client and both programs are killed at once at a random moment; SURVIVOR then starts and loads
# the method, whose stamp must be at least the newest acknowledged, or, every other round, deletes
# it first, after which it must stay deleted.
killed_rounds() {
  local setup=$1 mount=$2 point=$3 survivor=$4 dying=${5:-dying}
  local lost=0 late=0 older=0 missing=0 deleted=0 back=0 round writer reader least=1 acked
  local server=$work/export/WQData/AcqMethod/Killed.kem
  on "$survivor" "$driver" save Killed 1 1 "$work/acks" >/dev/null
  for round in $(seq "$rounds"); do
    "$mount" "$point"
    local client=$last_client
    : >"$work/acks"
    # Started directly, so that $! is the program's own pid.
    WQREPOS_CONFIG=$work/$dying.xml "$driver" save Killed 0 $((round * 100000)) "$work/acks" \
      >/dev/null 2>&1 &
    writer=$!
    WQREPOS_CONFIG=$work/$dying.xml "$driver" load Killed "$work/never" >/dev/null 2>&1 &
    reader=$!
    sleep "0.$((RANDOM % 4))$((RANDOM % 10))"
    kill -KILL "$client" "$writer" "$reader" 2>/dev/null || true
    wait "$client" "$writer" "$reader" 2>/dev/null || true
    fusermount3 -uz "$point" 2>/dev/null || fusermount3 -uz "$point.fs" 2>/dev/null || true
    [ -e "$server" ] || missing=$((missing + 1))
    acked=$(tail -1 "$work/acks")
    [ -z "$acked" ] || least=$acked
    if [ $((round % 2)) -eq 0 ] &&
      on "$survivor" $cleaner_wrap "$driver" delete Killed >>"$work/killed.out" 2>&1; then
      deleted=$((deleted + 1))
      on "$survivor" $cleaner_wrap "$driver" absent Killed >>"$work/killed.out" 2>&1 ||
        back=$((back + 1))
      least=$((round * 100000 + 99999))
      on "$survivor" "$driver" save Killed 1 "$least" "$work/acks" >/dev/null
      continue
    fi
    # The survivor's client may list the folder as it was up to 20 s before (sshfs's default
    # cache), and not see the complete file to put in place until then: a method missing for a
    # while, which counts as lost only when it is missing still after that.
    if ! on "$survivor" $cleaner_wrap "$driver" verify Killed "$least" >"$work/verify.out" 2>&1; then
      cat "$work/verify.out" >>"$work/killed.out"
      echo "    round $round, the server's folder: $(ls -A "$work/export/WQData/AcqMethod" | tr '\n' ' ')"
      if grep -q 'older than' "$work/verify.out"; then
        older=$((older + 1))
        continue
      fi
      sleep 21
      if on "$survivor" $cleaner_wrap "$driver" verify Killed "$least" >"$work/verify.out" 2>&1; then
        late=$((late + 1))
      else
        lost=$((lost + 1))
      fi
    fi
    cat "$work/verify.out" >>"$work/killed.out"
    least=$(grep -o 'stamp [0-9]*' "$work/verify.out" | grep -o '[0-9]*$' || echo "$least")
  done
  grep -v '^method: ok\|^delete: ok\|^deleted method: absent' "$work/killed.out" | head -3 |
    sed 's/^/    /' || true
  report "$setup" "lost methods in $rounds killed-workstation rounds" "$lost"
  report "$setup" "methods older than the newest acknowledged" "$older"
  report "$setup" "deleted methods back (of $deleted deletes after a kill)" "$back"
  results+=("$(printf '%-34s %-46s %s' "$setup" "kills that left the file missing on the server" "$missing")")
  results+=("$(printf '%-34s %-46s %s' "$setup" "methods missing until the listing cache expired" "$late")")
}

# killed_container SETUP WORKSTATION FOLDER: a writer killed mid-save while it was pid 1 of its
# pid namespace, where pid 1 always runs, once before its save was complete and once after, just
# before it replaced the file; the workstation comes back as a new container. The lock the writer
# held is gone with it: nothing of it is left after Initialize(), and a delete of the method holds.
killed_container() {
  local stage
  for stage in unfinished complete; do
    rm -f "$work/ready"
    WQREPOS_CONFIG=$work/$2.xml unshare --pid --fork --mount-proc --kill-child \
      "$driver" hold Orphan "$work/ready" "$work/never" ${stage/unfinished/} >/dev/null 2>&1 &
    local pid=$!
    await test -e "$work/ready"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    if [ "$stage" = complete ]; then
      local back=0
      on "$2" in_namespace "$driver" delete Orphan >/dev/null 2>&1 || true
      on "$2" in_namespace "$driver" absent Orphan >/dev/null 2>&1 || back=1
      report "$1" "killed container: deleted method back" "$back"
    else
      on "$2" in_namespace "$driver" initialize "$work/started" >/dev/null
    fi
    report "$1" "killed container ($stage save): files left" \
      "$(ls -A "$3/WQData/AcqMethod" | grep -c '^\.Orphan' || true)"
  done
}

# gzip_run SETUP WORKSTATION FOLDER: a compressed run read with its scratch copy on the share.
gzip_run() {
  mkdir -p "$3/tmp"
  local status=0
  TMPDIR=$3/tmp on "$2" "$tool" run-info "$run" >"$work/gzip.out" 2>&1 || status=$?
  [ "$status" -eq 0 ] || sed 's/^/    /' "$work/gzip.out"
  report "$1" "run-info of a .mzML.gz, TMPDIR on the share (exit)" "$status"
}

# ---- sshfs ----
mkdir -p "$work/export"
start_sshd
mount_sshfs "$work/a"
daemons+=("$last_client")
mount_sshfs "$work/b"
daemons+=("$last_client")
workstation a "$work/a"
workstation b "$work/b"
workstation dying "$work/dying"
touch "$work/started"
on a "$driver" initialize "$work/started" >/dev/null
setup="sshfs, two mounts"
cleaner_wrap=another_computer
held_save "$setup" a b
saves_under_initialize "$setup" a b
if [ "$rounds" -gt 0 ]; then killed_rounds "$setup" mount_sshfs "$work/dying" b; fi
cleaner_wrap=plain
loads_during_saves "sshfs, one mount" a a
loads_during_saves "$setup" a b
both_save_and_load "$setup, other host name" a plain b another_computer
# sshfs shows the other workstation's branch lock for up to 20 s after it is gone: each record
# waits through it, so that none is lost.
recorded "$setup, other host name" a plain b another_computer "$work/export/WQData/History"
both_save_and_load "$setup, same host name" a plain b namespaced
recorded "$setup, same host name" a plain b namespaced "$work/export/WQData/History"
gzip_run "sshfs" a "$work/a"

# ---- Samba and smbnetfs, when asked for ----
if [ "$smb" = 1 ]; then
  start_samba
  mount_smbnetfs "$work/sa"
  daemons+=("$last_client")
  mount_smbnetfs "$work/sb"
  daemons+=("$last_client")
  workstation sa "$work/sa"
  workstation sb "$work/sb"
  workstation smbdying "$work/smbdying"
  on sa "$driver" initialize "$work/started" >/dev/null
  setup="smbnetfs, two mounts"
  cleaner_wrap=another_computer
  held_save "$setup" sa sb
  saves_under_initialize "$setup" sa sb
  if [ "$rounds" -gt 0 ]; then
    killed_rounds "$setup" mount_smbnetfs "$work/smbdying" sb smbdying
  fi
  cleaner_wrap=plain
  gzip_run "smbnetfs" sa "$work/sa"
else
  results+=("smbnetfs: skipped (scripts/share-test.sh --smb measures it)")
fi

# ---- the local disk, two pid namespaces ----
mkdir -p "$work/local"
workstation local "$work/local"
on local "$driver" initialize "$work/started" >/dev/null
# The writer runs under a shell, so that it is not pid 1 of its namespace; the cleaner is pid 1
# of another one.
setup="local disk, two pid namespaces"
writer_wrap=namespaced
cleaner_wrap=in_namespace
held_save "$setup" local local
saves_under_initialize "$setup" local local
killed_container "$setup" local "$work/local"
both_save_and_load "local disk, other host names" local namespaced local another_computer
recorded "local disk, other host names" local namespaced local another_computer \
  "$work/local/WQData/History"
both_save_and_load "local disk, same host name" local namespaced local namespaced
recorded "local disk, same host name" local namespaced local namespaced "$work/local/WQData/History"
writer_wrap=plain
cleaner_wrap=plain
loads_during_saves "local disk" local local

# ---- the summary ----
echo
echo "Shared data directory: figures"
printf '%s\n' "${results[@]}"
echo
if [ "$failures" -ne 0 ]; then
  echo "scripts/share-test.sh: $failures figure(s) off target" >&2
  exit 1
fi
echo "scripts/share-test.sh: every figure on target"
