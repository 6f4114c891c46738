#!/usr/bin/env bash
# Installs what the build needs (skipping what is there), then configures and builds.
# Usage: scripts/setup.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-build}

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    libgl-dev libsqlite3-dev sqlite3 adb xvfb xauth fonts-dejavu-core fonts-noto-color-emoji fonts-noto-cjk clang-format poppler-utils
    dpkg-dev file desktop-file-utils appstream tzdata lintian bash-completion openbox
)

missing=()
for pkg in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# An existing build folder keeps the generator it was made with.
generator=(-G Ninja)
[ -f "$BUILD_DIR/CMakeCache.txt" ] && generator=()
# ccache, where installed, makes a rebuild in a fresh folder cheap.
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$BUILD_DIR" "${generator[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_EXTRA_ARGS:-}
cmake --build "$BUILD_DIR" --parallel "$(nproc)"
