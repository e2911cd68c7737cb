#!/usr/bin/env bash
# Builds the Debian package into build/ (cpack -G DEB) and checks it, as CI does after the tests:
# lintian reports no error and no warning, the package holds exactly the files listed in
# packaging/contents, its desktop entries and metainfo are valid, and the bench taken out of it
# starts headless in an empty folder and writes its settings.ini there.
set -euo pipefail
source "$(dirname "$0")/../tools/bootstrap.sh"
TARIKON_PACKAGES+=(lintian desktop-file-utils appstream)
tarikon_install_packages
tarikon_build

cd "$TARIKON_BUILD"
rm -f tarikon_*.deb
cpack -G DEB
debs=(tarikon_*.deb)
deb="$TARIKON_BUILD/${debs[0]}"
echo "Package: $deb"

echo "lintian:"
lintian --display-info --fail-on error,warning "$deb"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
(cd "$work/root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/contents"
if ! diff -u "$TARIKON_ROOT/packaging/contents" "$work/contents"; then
    echo "The package does not hold what packaging/contents lists (+ is in the package)." >&2
    exit 1
fi
desktop-file-validate "$work"/root/usr/share/applications/*.desktop
appstreamcli validate --no-net "$work"/root/usr/share/metainfo/*.metainfo.xml

# The bench from the package alone: no file of the build tree is needed.
mkdir "$work/run"
status=0
(cd "$work/run" && QT_QPA_PLATFORM=offscreen timeout 5 "$work/root/usr/bin/tarikon") \
    >"$work/bench.log" 2>&1 || status=$?
if [ "$status" -ne 124 ] || [ ! -s "$work/run/settings.ini" ]; then
    cat "$work/bench.log" >&2
    echo "The packaged bench did not run for 5 s writing settings.ini (exit status $status)." >&2
    exit 1
fi
"$work/root/usr/bin/tarikon-sensor-sim" --version >/dev/null
"$work/root/usr/bin/tarikon-records" --version >/dev/null
echo "The package is sound: $deb"
