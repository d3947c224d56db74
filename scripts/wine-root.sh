#!/bin/sh
# Both Windows layouts that run the 32-bit FileCopy.exe, 32-bit Windows and
# 64-bit Windows' WoW64, run under Debian 13's Wine 10, in a Debian 13 root of
# their own, so the host's own archive never decides whether they run. The root
# is built once per machine from scripts/wine-root-recipe.sh. Each recipe has a
# root of its own, named by its hash, so clones at different recipes never
# rebuild each other's.
#
#   wine-root.sh ensure          build the root unless it is current
#   wine-root.sh run [--outcome FILE] FOLDER... -- COMMAND
#                                ensure, then run COMMAND inside it, each
#                                FOLDER bound in at its own path
#
# COMMAND runs in private mount and pid namespaces: whatever it leaves running
# ends with it, and nothing stays mounted. Where the root cannot be had (no
# root privileges, or the archive cannot give it), run says why, writes it to
# FILE as "skipped: WHY" and exits 77, as a test that cannot run here;
# otherwise COMMAND must write FILE, or run fails.
set -eu
recipe="$(cd "$(dirname "$0")" && pwd)/wine-root-recipe.sh"
base=/var/cache/filecopy
suite=trixie
mirror=http://deb.debian.org/debian
# Where the recipe records, inside the root, why its i386 half is missing.
i386_record=var/lib/filecopy/missing-groups/i386
outcome=""
failure=1

# fail WHY [LOG]: WHY on one line, then the end of LOG.
fail() {
  if [ "$failure" -eq 77 ]; then
    echo "SKIPPED: the Debian 13 root of the Wine layouts cannot be had here: $1"
  else
    echo "wine-root.sh: $1" >&2
  fi
  [ -z "${2:-}" ] || tail -n 15 "$2" >&2
  [ -z "$outcome" ] || echo "skipped: the Debian 13 root cannot be had here: $1" >"$outcome"
  exit "$failure"
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

# apply TARGET: the recipe, inside TARGET.
apply() {
  cp /etc/resolv.conf "$1/etc/resolv.conf"
  cp "$recipe" "$1/root/recipe.sh"
  if ! enter "$1" -- sh /root/recipe.sh >"$root.recipe.log" 2>&1; then
    why=$(grep -m 1 '^E: ' "$root.recipe.log" | cut -c 4-)
    fail "the recipe failed inside it${why:+: $why}; see $root.recipe.log" "$root.recipe.log"
  fi
  rm "$1/root/recipe.sh"
}

build() {
  command -v debootstrap >/dev/null ||
    fail "debootstrap is missing (scripts/install-dependencies.sh)"
  rm -rf "$root.new"
  echo "wine-root.sh: building $root (debootstrap $suite from $mirror)" >&2
  debootstrap --variant=minbase "$suite" "$root.new" "$mirror" >"$root.debootstrap.log" 2>&1 ||
    fail "debootstrap of $suite from $mirror failed; see $root.debootstrap.log" \
      "$root.debootstrap.log"
  apply "$root.new"
  echo "$hash" >"$root.new/.filecopy-recipe"
  rm -rf "$root"
  mv "$root.new" "$root"
  echo "wine-root.sh: $root is ready" >&2
}

ensure() {
  [ "$(id -u)" -eq 0 ] || fail "it needs root privileges (debootstrap, chroot, unshare)"
  mkdir -p "$base"
  # One build at a time; a second caller waits for it and then finds it current.
  exec 9>"$root.lock"
  flock 9
  if ! current; then
    build
  elif [ -f "$root/$i386_record" ]; then
    # Only what the archive could not give last time is tried again, in place:
    # any test in the root meanwhile skips, as it lacks that very half.
    echo "wine-root.sh: trying the i386 half of $root again: $(cat "$root/$i386_record")" >&2
    apply "$root"
  else
    echo "wine-root.sh: $root is current" >&2
  fi
  exec 9>&-
}

case "${1:-}" in
  ensure) ensure ;;
  run)
    shift
    if [ "${1:-}" = --outcome ]; then
      outcome=$2
      shift 2
    fi
    failure=77
    ensure
    failure=1
    [ -z "$outcome" ] || rm -f "$outcome"
    status=0
    enter "$root" "$@" || status=$?
    # A test that ends without its outcome would leave the layout unaccounted for.
    if [ -n "$outcome" ] && [ ! -s "$outcome" ]; then
      echo "wine-root.sh: the command ended with $status and wrote no outcome to $outcome" >&2
      case $status in 0 | 77) status=1 ;; esac
    fi
    exit "$status"
    ;;
  *) fail "usage: $0 ensure | run [--outcome FILE] FOLDER... -- COMMAND..." ;;
esac
