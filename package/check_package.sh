#!/usr/bin/env bash
# Builds the .deb from a build folder, unpacks it into a scratch root (dpkg -x) and runs the
# programs from there: kelpax-cli --version, and a scan that finds a simulated camera through
# the packaged simulator library. Checks the layout, and lintian when it is installed.
# Usage: check_package.sh BUILD_DIR VERSION
set -euo pipefail

build=$(cd "$1" && pwd)
version=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelpax-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "check_package: $*" >&2
  exit 1
}

cpack --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
deb="$scratch/out/kelpax_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $deb"

root="$scratch/root"
dpkg -x "$deb" "$root"
for f in usr/bin/kelpax usr/bin/kelpax-cli usr/bin/kelpax-camsim \
  usr/lib/kelpax/libnodeview.so usr/lib/kelpax/libstandin_genapi.so \
  usr/lib/kelpax/libnqx.so.7 usr/lib/kelpax/libnqxcl.so usr/lib/kelpax/libgencp_serial.so \
  usr/lib/kelpax/simulator/libclsersim.so \
  usr/lib/kelpax/simulator/cameralink/clserkel.so \
  usr/share/applications/kelpax.desktop usr/share/icons/hicolor/scalable/apps/kelpax.svg \
  usr/share/man/man1/kelpax-cli.1.gz usr/share/man/man1/kelpax-camsim.1.gz \
  usr/share/doc/kelpax/copyright; do
  [ -e "$root/$f" ] || fail "$f missing from the package"
done
# Simulated ports must never reach a production machine's Camera Link search.
for folder in opt/cameralink usr/local/lib/cameralink usr/lib/cameralink; do
  [ ! -e "$root/$folder" ] || fail "the package installs into /$folder"
done
dpkg-deb -f "$deb" Depends | grep -q 'libserialport' || fail "Depends lacks libserialport"

out=$("$root/usr/bin/kelpax-cli" --version)
[ "$out" = "kelpax-cli $version" ] || fail "kelpax-cli --version printed '$out'"

# A scan from an empty working folder: portlist.ini is created, the simulated library in the
# unpacked root is found through CLSERIALPATH and its camera answers.
work="$scratch/work"
mkdir -p "$work"
scan=$(cd "$work" && CLSERIALPATH="$root/usr/lib/kelpax/simulator" KELPAX_SIM_CAMERAS=Ko-25MC-C65 \
  KELPAX_SIM_BAUD=115200 KELPAX_SIM_PACING=0 "$root/usr/bin/kelpax-cli" scan --mode clser) ||
  fail "scan failed: $scan"
printf '%s\n' "$scan"
printf '%s\n' "$scan" | grep -q $'^clsersim#0 Ko-25MC-C65\t.*\tKo-25MC-C65$' ||
  fail "the scan did not find the simulated camera"
# A GenCP camera through the installed transport layer, Camera Link module and GenCP driver.
width=$(cd "$work" && CLSERIALPATH="$root/usr/lib/kelpax/simulator" \
  KELPAX_SIM_CAMERAS=Kg-12M-G40@115200 KELPAX_SIM_PACING=0 QT_QPA_PLATFORM=offscreen \
  "$root/usr/bin/kelpax-cli" genicam get --port 'clsersim#0 Kg-12M-G40' Width) ||
  fail "genicam get failed: $width"
[ "$width" = 4096 ] || fail "genicam get printed '$width'"
# Without CLSERIALPATH the simulated library stays out of sight.
if (cd "$work" && KELPAX_SIM_CAMERAS=Ko-25MC-C65 "$root/usr/bin/kelpax-cli" scan --mode clser 2>/dev/null |
  grep -q clsersim); then
  fail "simulated ports listed without CLSERIALPATH"
fi

if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 || true
  cat "$scratch/lintian.log"
  if grep -q '^E:' "$scratch/lintian.log"; then
    fail "lintian reports errors"
  fi
else
  echo "check_package: lintian not installed; skipped"
fi
echo "check_package: $(basename "$deb") installs and runs from its own root"
