#!/usr/bin/env bash
# Unpacks the Debian package made in BUILD_DIR into a scratch root and proves
# that what it installs works from there, away from the build tree.
# usage: package_check.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

debs=("$build"/kestrune_"$version"_*.deb)
[ -f "${debs[0]}" ] || { echo "FAIL: no kestrune_${version}_*.deb in $build (run cpack first)"; exit 1; }
deb=${debs[0]}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/fs"
fs=$root/fs bin=$root/fs/usr/bin doc=$root/fs/usr/share/doc/kestrune

# Nothing of the build tree or of this user may help: an empty home, no display.
mkdir -p "$root/home" "$root/work"
cd "$root/work"
export HOME=$root/home
unset XDG_CONFIG_HOME XDG_STATE_HOME DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb

depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libqt6core6* && $depends == *libqt6widgets6* ]] || fail "dependencies not computed: $depends"

for f in usr/bin/kestrune usr/bin/kestrune-sim usr/bin/kestrune-ctl \
    usr/share/applications/org.kestrune.Kestrune.desktop \
    usr/share/icons/hicolor/scalable/apps/org.kestrune.Kestrune.svg \
    usr/share/metainfo/org.kestrune.Kestrune.metainfo.xml \
    usr/share/doc/kestrune/copyright usr/share/doc/kestrune/examples/plant.cfg \
    usr/share/doc/kestrune/examples/Kestrune.key; do
    [ -f "$fs/$f" ] || fail "missing /$f"
done

expect() { # expect STATUS EXPECTED-OUTPUT COMMAND...
    local status=$1 want=$2 out rc=0
    shift 2
    out=$("$@" 2>&1) || rc=$?
    [ "$rc" -eq "$status" ] || fail "$* exited $rc, not $status: $out"
    [[ $out == "$want"* ]] || fail "$* printed '${out%%$'\n'*}', not '$want'"
}
expect 0 "kestrune $version" "$bin/kestrune" --version
expect 0 "Usage: kestrune" "$bin/kestrune" --help
expect 0 "" "$bin/kestrune" -check -c "$doc/examples/plant.cfg"
expect 0 "kestrune-sim $version" "$bin/kestrune-sim" --version
expect 0 "Usage: $bin/kestrune-sim" "$bin/kestrune-sim" --help
expect 0 "kestrune-ctl $version" "$bin/kestrune-ctl" --version
expect 0 "Usage: $bin/kestrune-ctl" "$bin/kestrune-ctl" --help
written=$(find "$root/work" "$root/home" -mindepth 1)
[ -z "$written" ] || fail "files were written: $written"

desktop-file-validate "$fs/usr/share/applications/org.kestrune.Kestrune.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$fs/usr/share/metainfo/org.kestrune.Kestrune.metainfo.xml" > /dev/null ||
    fail "metainfo"
for page in kestrune kestrune-sim kestrune-ctl; do
    file=$fs/usr/share/man/man1/$page.1.gz
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 > /dev/null) || fail "man -l $page.1 fails"
    [ -z "$warnings" ] || fail "man -l $page.1: $warnings"
done

[ "$failures" -eq 0 ] || exit 1
echo "package $deb checked"
