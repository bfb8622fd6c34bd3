#!/usr/bin/env bash
# Packs the built tree as tools/package does, unpacks the package without installing it and runs the unpacked
# program offscreen: it must start from its /usr layout, know its version and carry no path of this checkout.
# Arguments: the build folder, the project's version, the source folder.
set -euo pipefail
build="$1" version="$2" source="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

(cd "$build" && cpack -B "$work/out" >/dev/null)
deb=$(ls "$work"/out/quorvane_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libqt6widgets6 libfbclient2; do
  [[ "$depends" == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
[[ "$depends" != *-dev* ]] || fail "Depends names a build package: $depends"

dpkg-deb -x "$deb" "$work/root"
for file in bin/quorvane share/applications/quorvane.desktop share/icons/hicolor/scalable/apps/quorvane.svg \
            share/doc/quorvane/README.md; do
  [[ -f "$work/root/usr/$file" ]] || fail "the package has no /usr/$file"
done
desktop-file-validate "$work/root/usr/share/applications/quorvane.desktop" || fail "invalid desktop entry"
if grep -qF "$source" "$work/root/usr/bin/quorvane"; then
  fail "the program holds a path of the checkout ($source)"
fi

answer=$(cd "$work" && QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/quorvane" --version)
[[ "$answer" == "quorvane $version" ]] || fail "--version answered '$answer'"
echo "package test: $(basename "$deb") unpacks and answers '$answer'"
