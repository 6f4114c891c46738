#!/usr/bin/env bash
# Builds the Debian package and checks its dependencies and contents.
# Usage: test_package.sh BUILD_DIR
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || {
    cat "$out/cpack.log" >&2
    fail "cpack"
}
package=$(ls "$out"/*.deb)
depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
# Computed from the binaries: the toolkit's and SQLite's libraries; named by hand: the rest.
for needed in libqt6core6 libqt6widgets6 libqt6webenginecore6 libsqlite3-0 adb fonts-noto-color-emoji fonts-noto-cjk \
    libqt6webenginecore6-bin; do
    grep -q "\b$needed\b" <<<"$depends" || fail "Depends lacks $needed"
done
contents=$(dpkg-deb -c "$package")
for path in ./usr/bin/parlowick ./usr/bin/parlowick-cli ./usr/lib/parlowick/parlowick-cli \
    ./usr/lib/parlowick/libcsvimporter.so ./usr/lib/parlowick/bubble/style.css ./usr/lib/parlowick/help/index.html \
    ./usr/share/applications/org.parlowick.Parlowick.desktop ./usr/share/man/man1/parlowick-cli.1.gz \
    ./usr/share/doc/parlowick/copyright ./usr/share/doc/parlowick/changelog.gz \
    ./usr/share/icons/hicolor/256x256/apps/parlowick.png ./usr/lib/systemd/user/parlowick-auto@.service; do
    grep -q " $path\( ->\|$\)" <<<"$contents" || fail "the package lacks $path"
done
# Every dependency resolves from this system's package lists (a simulated install).
if command -v apt-get >/dev/null; then
    apt-get install --simulate "$package" >"$out/apt.log" 2>&1 || {
        cat "$out/apt.log" >&2
        fail "the package's dependencies do not resolve"
    }
fi
# Debian's own checks: no error and no warning (informational notes are allowed).
if command -v lintian >/dev/null; then
    lintian --fail-on error,warning "$package" >"$out/lintian.log" 2>&1 || {
        cat "$out/lintian.log" >&2
        fail "lintian"
    }
else
    echo "lintian is not installed (scripts/setup.sh installs it): the package's Debian checks are skipped"
fi
echo "package $(basename "$package"): ok"
