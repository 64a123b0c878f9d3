#!/usr/bin/env bash
# Starts the installed program on the simulated camera under a virtual X
# display, records every shared object it loads (plugins included), and
# fails when one comes from a package that neither the linked libraries'
# packages nor the declared run-time packages bring in, or when a declared
# package is not installed. check_runtime_packages.sh PREFIX LIST
set -euo pipefail
prefix=$1
list=$2
program=$prefix/bin/tavrocam
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

declared=$(sed -e 's/#.*//' "$list" | awk 'NF { print $1 }')
for package in $declared; do
  dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q "install ok installed" ||
    { echo "declared but not installed: $package"; exit 1; }
done

# The owning packages of the files listed in $1, one a line, in one dpkg
# call per form of the name: usrmerge puts /lib under /usr/lib, and dpkg
# knows a file by the name its package shipped. Files of no package (the
# program's own, the loader's cache) are left out.
owners() {
  local resolved="$work/resolved"
  xargs -r readlink -f <"$1" | sort -u >"$resolved"
  {
    xargs -r dpkg -S <"$resolved" 2>/dev/null || true
    sed -n 's|^/usr/|/|p' "$resolved" | xargs -r dpkg -S 2>/dev/null || true
    sed -n 's|^/lib|/usr/lib|p' "$resolved" | xargs -r dpkg -S 2>/dev/null || true
  } | cut -d: -f1 | tr ',' '\n' | sed 's/^ *//' | sort -u
}

# The program ends on the time-out: a few seconds bring up the window, the
# panel and the first frames.
timeout 8 xvfb-run -a env LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld" QT_QPA_PLATFORM=xcb \
  "$program" --camera=sim >/dev/null 2>&1 || true
cat "$work"/ld.* 2>/dev/null | sed -n 's/.*calling init: //p' | sort -u >"$work/loaded"
grep -q 'libqxcb' "$work/loaded" || { echo "the program loaded no window-system plugin"; exit 1; }

# What the linker sees, with everything its packages depend on, and the same
# for the declared packages.
ldd "$program" | awk '/=> \// { print $3 }' >"$work/linked"
roots=$( (owners "$work/linked"; echo "$declared") | sort -u | tr '\n' ' ')
# shellcheck disable=SC2086
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances \
  $roots 2>/dev/null | sed -n -e 's/^ *|\{0,1\}\(Pre\)\{0,1\}Depends: <\{0,1\}\([^:>]*\).*/\2/p' -e 's/^\([a-z0-9][^ :]*\).*/\1/p' |
  sort -u >"$work/covered"

owners "$work/loaded" >"$work/loaded-packages"
missing=$(comm -23 "$work/loaded-packages" "$work/covered")
if [ -n "$missing" ]; then
  echo "loaded at run time from packages nothing declares:" $missing
  exit 1
fi
echo "run time: $(wc -l <"$work/loaded") objects loaded, every package declared or depended on"
