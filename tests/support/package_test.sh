#!/usr/bin/env bash
# Packs the built tree as tools/package does, checks it with lintian, unpacks the package without installing it
# and runs the unpacked program offscreen: it must start from its /usr layout, know its version and carry no
# path of this checkout; its man page must name every option, and systemd must find nothing wrong with an
# instance of its unit.
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
for file in bin/quorvane lib/systemd/system/quorvane@.service share/man/man1/quorvane.1.gz \
            share/doc/quorvane/copyright share/doc/quorvane/changelog.gz share/doc/quorvane/prod.conf.example \
            share/applications/quorvane.desktop share/icons/hicolor/scalable/apps/quorvane.svg \
            share/doc/quorvane/README.md; do
  [[ -f "$work/root/usr/$file" ]] || fail "the package has no /usr/$file"
done
report=$(lintian --fail-on error,warning "$deb" 2>&1) || fail "lintian: $report"
desktop-file-validate "$work/root/usr/share/applications/quorvane.desktop" || fail "invalid desktop entry"
if grep -qF "$source" "$work/root/usr/bin/quorvane"; then
  fail "the program holds a path of the checkout ($source)"
fi

answer=$(cd "$work" && QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/quorvane" --version)
[[ "$answer" == "quorvane $version" ]] || fail "--version answered '$answer'"
man=$(zcat "$work/root/usr/share/man/man1/quorvane.1.gz")
for option in $(cd "$work" && QT_QPA_PLATFORM=offscreen "$work/root/usr/bin/quorvane" --help | grep -o '^  --[a-z-]*'); do
  grep -qF -- "${option//-/\\-}" <<<"$man" || fail "the man page does not name $option"
done
if readelf -d "$work/root/usr/bin/quorvane" | grep -qE 'RUNPATH|RPATH'; then
  fail "the program carries a library search path"
fi

# systemd reads the unit as it would start it, in the unpacked tree with the system's own units beside it;
# it only warns of a key it does not know, so any word from it fails the test.
mkdir -p "$work/root/bin"
cp -L /bin/sh "$work/root/bin/"
cp -rn /usr/lib/systemd/system/. "$work/root/usr/lib/systemd/system/"
verify=$(systemd-analyze verify --man=no --root="$work/root" quorvane@prod.service 2>&1) ||
  fail "systemd-analyze verify: $verify"
[[ -z "$verify" ]] || fail "systemd-analyze verify: $verify"

echo "package test: $(basename "$deb") is clean, unpacks, answers '$answer' and its unit verifies"
