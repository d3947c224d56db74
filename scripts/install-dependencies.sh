#!/bin/sh
# Installs what building and testing FileCopy needs on Debian, when missing, in
# groups, each on its own:
#   posix      the POSIX build, its tests and the static checks
#   windows    the Windows build, its unit tests and its packages, and
#              debootstrap for the Debian 13 root in which both 32-bit layouts
#              run their Wine
#   windows64  the 64-bit stand-in, for machines that run no 32-bit layout
# With no group named: posix and windows.
#
# The package archive can be mid-sync: an index that fails to update, or a
# group it cannot give now, does not stop the others. A group that cannot be
# installed is reported with apt's reason, which goes to
# build/missing-groups/GROUP, where scripts/test.sh and the Wine suite find it
# to skip what needs the group, saying why. Ends 0 unless misused.
set -u
cd "$(dirname "$0")/.." || exit 2
records=build/missing-groups
log=build/install-dependencies.log

packages_of() {
  case $1 in
    posix) echo cmake g++ make libgtest-dev python3 git man-db groff-base locales-all libc-l10n \
      strace time clang-tidy clang-format cppcheck ;;
    windows) echo g++-mingw-w64-i686 googletest python3 wixl msitools faketime debootstrap ;;
    windows64) echo g++-mingw-w64-x86-64 wine wine64 xvfb xdotool tmux imagemagick locales-all ;;
    *)
      echo "install-dependencies.sh: no group $1 (posix, windows, windows64)" >&2
      exit 2
      ;;
  esac
}

missing_of() {
  for package in $(packages_of "$1"); do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
      printf ' %s' "$package"
  done
}

# record GROUP REASON
record() {
  printf '%s\n' "$2" >"$records/$1"
  echo "install-dependencies.sh: group $1 could not be installed: $2" >&2
}

groups=${*:-posix windows}
mkdir -p "$records"
wanted=""
for group in $groups; do
  rm -f "$records/$group"
  [ -z "$(missing_of "$group")" ] || wanted="$wanted $group"
done
[ -n "$wanted" ] || exit 0

if [ "$(id -u)" -ne 0 ]; then
  for group in $wanted; do
    record "$group" "missing$(missing_of "$group"); run scripts/install-dependencies.sh as root"
  done
  exit 0
fi

: >"$log"
updated=""
if ! apt-get update >>"$log" 2>&1; then
  updated=" (after apt-get update failed: $(grep '^E: ' "$log" | head -n 1 | cut -c 4-))"
  echo "install-dependencies.sh: apt-get update failed; going on with the indexes it has" >&2
fi
attempt=$log.attempt
for group in $wanted; do
  missing=$(missing_of "$group")
  # shellcheck disable=SC2086 # one word a package
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing \
    >"$attempt" 2>&1
  status=$?
  cat "$attempt" >>"$log"
  if [ "$status" -eq 0 ]; then
    echo "install-dependencies.sh: group $group installed:$missing"
  else
    # The first unmet dependency, if apt names one, then its errors, on one line.
    reason=$({ grep -m 1 ' : Depends: ' "$attempt"; grep '^E: ' "$attempt"; } |
      sed 's/^ *//' | awk 'NR > 1 { printf "; " } { printf "%s", $0 }')
    record "$group" "${reason:-apt-get install ended with $status, see $log}$updated"
  fi
done
rm -f "$attempt"
exit 0
