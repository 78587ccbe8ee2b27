#!/usr/bin/env bash
# Installs the build into a scratch prefix and runs the installed programs from another folder:
# they must find their own files through the prefix and write nothing into the build folder.
#   install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
work=$scratch/work
mkdir -p "$work"

cmake --install "$build" --prefix "$prefix" >/dev/null
marker=$scratch/marker
touch "$marker"

fail() { echo "install_test: $*" >&2; exit 1; }

for f in bin/korvin bin/korvin-cli bin/korvin-sim \
         share/applications/example.rova_keld.korvin.desktop \
         share/metainfo/example.rova_keld.korvin.metainfo.xml \
         share/icons/hicolor/scalable/apps/korvin.svg \
         share/icons/hicolor/48x48/apps/korvin.png share/icons/hicolor/256x256/apps/korvin.png \
         share/man/man1/korvin-cli.1.gz share/man/man1/korvin-sim.1.gz \
         share/doc/korvin/copyright share/doc/korvin/changelog.Debian.gz; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
if [ -d "$(dirname "$0")/../../share" ]; then
  [ -d "$prefix/share/korvin" ] || fail "the program's own files are not installed"
fi

cd "$work"
"$prefix/bin/korvin-cli" --simulate info > info.txt || fail "korvin-cli --simulate info failed"
grep -q '^Device name: ' info.txt || fail "korvin-cli printed no identity"
QT_QPA_PLATFORM=offscreen "$prefix/bin/korvin" --simulate --screenshot "$work/window.png" \
  || fail "korvin --simulate --screenshot failed"
[ -s "$work/window.png" ] || fail "no screenshot written"

written=$(find "$build" -newer "$marker" -not -path '*/Testing/*' -print | head -5)
[ -z "$written" ] || fail "the installed programs wrote into the build folder: $written"
echo "install_test: installed programs ran from $work"
