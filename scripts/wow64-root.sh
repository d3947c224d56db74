#!/bin/sh
# Wine 10 runs the 32-bit FileCopy.exe in WoW64 mode, the way 64-bit Windows
# does, but needs Debian 13: it lives in a Debian 13 root of its own, built once
# per machine from scripts/wow64-recipe.sh. Each recipe has a root of its own,
# named by its hash, so clones at different recipes never rebuild each other's.
#
#   wow64-root.sh ensure                    build the root unless it is current
#   wow64-root.sh run FOLDER... -- COMMAND  ensure, then run COMMAND inside it,
#                                           each FOLDER bound in at its own path
#
# COMMAND runs in private mount and pid namespaces: whatever it leaves running
# ends with it, and nothing stays mounted. Without root privileges run says so
# and exits 77, as a test that cannot run here.
set -eu
recipe="$(cd "$(dirname "$0")" && pwd)/wow64-recipe.sh"
base=/var/cache/filecopy
suite=trixie
mirror=http://deb.debian.org/debian

fail() {
  echo "wow64-root.sh: $*" >&2
  exit 1
}

recipe_hash() {
  { echo "$suite $mirror"; cat "$recipe"; } | sha256sum | cut -d' ' -f1
}

hash=$(recipe_hash)
root="$base/wine-root-$(echo "$hash" | cut -c 1-12)"
stamp="$root/.filecopy-recipe"

current() {
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$hash" ]
}

# The namespace's own /proc, the host's devices and a fresh /tmp, then COMMAND.
enter() {
  target=$1
  shift
  unshare --mount --propagation private --pid --fork --kill-child -- sh -eu -c '
    target=$1
    shift
    mount -t proc proc "$target/proc"
    mount --rbind /dev "$target/dev"
    mount -t sysfs -o ro sysfs "$target/sys"
    mount -t tmpfs tmpfs "$target/tmp"
    while [ "$1" != -- ]; do
      mkdir -p "$target$1"
      mount --bind "$1" "$target$1"
      shift
    done
    shift
    exec chroot "$target" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
      LANG=C.UTF-8 TERM="${TERM:-dumb}" PYTHONDONTWRITEBYTECODE=1 "$@"
  ' sh "$target" "$@"
}

build() {
  command -v debootstrap >/dev/null || fail "debootstrap is missing (scripts/install-dependencies.sh)"
  rm -rf "$root.new"
  echo "wow64-root.sh: building $root (debootstrap $suite from $mirror)" >&2
  debootstrap --variant=minbase "$suite" "$root.new" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    fail "debootstrap of $suite from $mirror failed; the end of $root.debootstrap.log:
$(tail -n 15 "$root.debootstrap.log")"
  cp /etc/resolv.conf "$root.new/etc/resolv.conf"
  cp "$recipe" "$root.new/root/recipe.sh"
  enter "$root.new" -- sh /root/recipe.sh >"$root.recipe.log" 2>&1 ||
    fail "the recipe failed inside the new root; the end of $root.recipe.log:
$(tail -n 15 "$root.recipe.log")"
  rm "$root.new/root/recipe.sh"
  echo "$hash" >"$root.new/.filecopy-recipe"
  rm -rf "$root"
  mv "$root.new" "$root"
  echo "wow64-root.sh: $root is ready" >&2
}

ensure() {
  [ "$(id -u)" -eq 0 ] || fail "building the root needs root (debootstrap, chroot)"
  mkdir -p "$base"
  # One build at a time; a second caller waits for it and then finds it current.
  exec 9>"$root.lock"
  flock 9
  if current; then
    echo "wow64-root.sh: $root is current" >&2
  else
    build
  fi
  exec 9>&-
}

case "${1:-}" in
  ensure) ensure ;;
  run)
    shift
    if [ "$(id -u)" -ne 0 ]; then
      echo "SKIPPED: the Wine 10 WoW64 root needs root privileges (debootstrap, chroot, unshare)"
      exit 77
    fi
    ensure
    enter "$root" "$@"
    ;;
  *) fail "usage: $0 ensure | run FOLDER... -- COMMAND..." ;;
esac
