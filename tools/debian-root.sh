#!/usr/bin/env bash
# Minimal Debian roots to build and test in, for any suite (trixie, sid, ...)
# and architecture. Source it for the functions, or run it:
#   debian-root.sh make SUITE DIR      a fresh minbase root in DIR (absent or
#                                      empty); SUITE may name an architecture
#                                      other than this machine's, as in
#                                      bookworm:i386
#   debian-root.sh run DIR CMD [ARG]...  CMD inside the root, as root
#   debian-root.sh remove DIR          deletes the root, refusing while
#                                      anything is mounted under it
#   debian-root.sh keep-debs SUITE DIR the packages apt fetched into the
#                                      root, kept for the next root of SUITE
#   debian-root.sh release             undoes what running another
#                                      architecture's programs set up
# A root's base system is kept as a tarball in $DEBIAN_ROOT_CACHE (default
# /var/cache/lassowave-roots) and reused while younger than a week; without
# one, debootstrap makes it (about 3 minutes). Packages kept with keep-debs
# go into each new root's apt cache, so that apt fetches only newer ones.
# Environment: DEBIAN_MIRROR.
#
# Mounts: root_run mounts /proc and binds /dev inside a private mount
# namespace of its own, and unmounts them when CMD ends; should that fail,
# the mounts still end with the namespace, so none outlives the call.
#
# 32-bit x86 roots on a 64-bit kernel that does not run 32-bit programs
# itself (its 32-bit emulation switched off): their programs run under
# qemu-i386 (qemu-user-static), registered with the kernel's binfmt_misc
# (mounted if it is not) until root_exec_release, which undoes both.

DEBIAN_ROOT_CACHE=${DEBIAN_ROOT_CACHE:-/var/cache/lassowave-roots}
DEBIAN_MIRROR=${DEBIAN_MIRROR:-http://deb.debian.org/debian}

# Runs "$@" up to three times, pausing between tries (network hiccups).
root_retry() {
  local try
  for try in 1 2 3; do
    "$@" && return 0
    echo "debian-root: failed (try $try of 3): $*" >&2
    [ "$try" -lt 3 ] && sleep $((try * 15))
  done
  return 1
}

# Prints the mount points at or under DIR (none: prints nothing).
root_mounts() {
  local dir
  dir=$(realpath -m "$1")
  awk -v d="$dir" '{ m = $2; gsub(/\\040/, " ", m); if (m == d || index(m, d "/") == 1) print m }' /proc/mounts
}

root_make() {
  local key=$1 dir=$2 suite=${1%%:*} arch=$(dpkg --print-architecture)
  [ "$key" = "$suite" ] || arch=${key#*:}
  local tarball="$DEBIAN_ROOT_CACHE/$suite-$arch.tar"
  if [ -e "$dir" ] && [ -n "$(ls -A "$dir")" ]; then
    echo "debian-root: $dir is not empty" >&2
    return 1
  fi
  mkdir -p "$dir"
  if [ -f "$tarball" ] && [ -n "$(find "$tarball" -mtime -7)" ]; then
    echo "debian-root: $key from $tarball"
    if tar -C "$dir" -xpf "$tarball"; then
      root_exec_ready "$dir" "$arch" || return 1
      root_configure "$key" "$dir"
      return 0
    fi
    echo "debian-root: $tarball does not unpack; making the root anew" >&2
    root_remove "$dir" && mkdir -p "$dir" || return 1
  fi
  command -v debootstrap >/dev/null || root_retry apt-get install -y -qq debootstrap || return 1
  echo "debian-root: debootstrap $key into $dir"
  local try log="$dir.debootstrap.log"
  # Another architecture's root in two stages: the packages unpacked, then
  # (once its programs run here) configured inside the root, in a mount
  # namespace of its own (the second stage mounts /proc there).
  for try in 1 2 3; do
    if [ "$key" = "$suite" ]; then
      debootstrap --variant=minbase "$suite" "$dir" "$DEBIAN_MIRROR" > "$log" 2>&1 && break
    elif debootstrap --variant=minbase --arch="$arch" --foreign "$suite" "$dir" "$DEBIAN_MIRROR" \
           > "$log" 2>&1 && root_exec_ready "$dir" "$arch" >> "$log" 2>&1 &&
         unshare --mount --propagation private -- \
           chroot "$dir" /debootstrap/debootstrap --second-stage >> "$log" 2>&1; then
      break
    fi
    echo "debian-root: debootstrap failed (try $try of 3); its log ends:" >&2
    tail -15 "$log" >&2
    [ "$try" -eq 3 ] && return 1
    root_remove "$dir" && mkdir -p "$dir" || return 1
    sleep $((try * 15))
  done
  rm -f "$log"
  rm -rf "$dir"/var/cache/apt/archives/*.deb "$dir"/var/lib/apt/lists/*
  if mkdir -p "$DEBIAN_ROOT_CACHE" 2>/dev/null &&
     tar -C "$dir" -cpf "$tarball.part" . && mv "$tarball.part" "$tarball"; then
    echo "debian-root: kept the base system as $tarball"
  else
    rm -f "$tarball.part"
  fi
  root_configure "$key" "$dir"
}

# Programs of the root's architecture run here: natively, or else (32-bit
# x86) under qemu-i386-static, registered in fix-binary mode (the kernel
# opens the emulator at registration, so it need not exist in the root).
root_exec_ready() {
  local dir=$1 arch=$2 binfmt=/proc/sys/fs/binfmt_misc
  chroot "$dir" /usr/bin/true 2>/dev/null && return 0
  if [ "$arch" != i386 ]; then
    echo "debian-root: $arch programs do not run here" >&2
    return 1
  fi
  echo "debian-root: i386 programs do not run natively here; running them under qemu-i386"
  [ -x /usr/bin/qemu-i386-static ] ||
    DEBIAN_FRONTEND=noninteractive root_retry apt-get install -y -qq qemu-user-static || return 1
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" || return 1
    mkdir -p "$DEBIAN_ROOT_CACHE" && touch "$DEBIAN_ROOT_CACHE/binfmt-mounted"
  fi
  # What the kernel matches: the ELF header of a 32-bit x86 executable or
  # shared object (it reads the \x escapes itself).
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  [ -e "$binfmt/lassowave-i386" ] ||
    printf '%s' ":lassowave-i386:M::$magic:$mask:/usr/bin/qemu-i386-static:F" > "$binfmt/register" ||
    return 1
  chroot "$dir" /usr/bin/true
}

# Undoes what root_exec_ready did: the emulator's registration, and the
# binfmt_misc mount if it made it.
root_exec_release() {
  local binfmt=/proc/sys/fs/binfmt_misc
  [ -e "$binfmt/lassowave-i386" ] && echo -1 > "$binfmt/lassowave-i386"
  if [ -f "$DEBIAN_ROOT_CACHE/binfmt-mounted" ]; then
    umount "$binfmt" && rm -f "$DEBIAN_ROOT_CACHE/binfmt-mounted"
  fi
  return 0
}

root_configure() {
  local dir=$2
  # Packages come without recommendations; apt retries downloads by
  # itself; a snapshot mirror's Release files may have passed their
  # Valid-Until date (debootstrap does not check it, apt would).
  printf '%s\n' 'APT::Install-Recommends "false";' 'Acquire::Retries "5";' \
    'Acquire::Check-Valid-Until "false";' 'Acquire::Check-Date "false";' \
    > "$dir/etc/apt/apt.conf.d/90lassowave"
  # A root lives for one run: dpkg need not sync every file it unpacks.
  echo force-unsafe-io > "$dir/etc/dpkg/dpkg.cfg.d/90lassowave"
  root_add_debs "$1" "$dir"
}

root_add_debs() {
  local debs="$DEBIAN_ROOT_CACHE/$1-debs"
  if [ -d "$debs" ] && compgen -G "$debs/*.deb" >/dev/null; then
    cp "$debs"/*.deb "$2/var/cache/apt/archives/" || true
  fi
}

root_keep_debs() {
  local debs="$DEBIAN_ROOT_CACHE/$1-debs"
  compgen -G "$2/var/cache/apt/archives/*.deb" >/dev/null || return 0
  mkdir -p "$debs.part" &&
    cp "$2"/var/cache/apt/archives/*.deb "$debs.part/" &&
    rm -rf "$debs" && mv "$debs.part" "$debs" || { rm -rf "$debs.part"; return 0; }
}

root_run() {
  local dir
  dir=$(realpath "$1")
  shift
  unshare --mount --propagation private -- /bin/bash -c '
    dir=$1; shift
    undo() { umount "$dir/dev" 2>/dev/null; umount "$dir/proc" 2>/dev/null; }
    trap undo EXIT
    mount -t proc proc "$dir/proc" && mount --bind /dev "$dir/dev" || exit 1
    cp /etc/resolv.conf "$dir/etc/resolv.conf" 2>/dev/null
    chroot "$dir" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
  ' root_run "$dir" "$@"
}

root_remove() {
  local dir=$1
  [ -e "$dir" ] || return 0
  local mounted
  mounted=$(root_mounts "$dir")
  if [ -n "$mounted" ]; then
    echo "debian-root: not deleting $dir, still mounted under it:" >&2
    echo "$mounted" >&2
    return 1
  fi
  rm -rf --one-file-system "$dir"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -euo pipefail
  case "${1:-}" in
    make) root_make "$2" "$3" ;;
    run) shift; root_run "$@" ;;
    remove) root_remove "$2" ;;
    release) root_exec_release ;;
    keep-debs) root_keep_debs "$2" "$3" ;;
    *) echo "usage: $0 make SUITE[:ARCH] DIR | run DIR CMD... | remove DIR | keep-debs SUITE[:ARCH] DIR | release" >&2
       exit 2 ;;
  esac
fi
