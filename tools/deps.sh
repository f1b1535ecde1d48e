#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ qt6-base-dev libgtest-dev
    wine wine64 g++-mingw-w64-x86-64-posix
    xvfb xauth xdotool x11-utils imagemagick python3
    clang libclang-rt-14-dev clang-format-14
    appstream desktop-file-utils
    libyaml-cpp-dev nlohmann-json3-dev
    libre2-dev pkg-config
)

missing=()
for p in "${packages[@]}"; do
    # Not piped into grep -q: under pipefail the writer's SIGPIPE would count as missing.
    grep -q "install ok installed" <<<"$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" ||
        missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages: ${missing[*]}" >&2
    echo "Run as root, or install them with: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
