#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds a small program of another project against
# the installed codec with find_package, and has it load and save a PNG.
# Usage: install_test.sh BUILD_DIR CONSUMER_SOURCE PNG VQZCONV
set -euo pipefail
build=$1 consumer=$2 png=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/vqz2image bin/vqzconv share/applications/vqz2image.desktop \
            share/icons/hicolor/32x32/apps/vqz2image.png lib/cmake/VqzPng/VqzPngConfig.cmake; do
  [ -f "$work/prefix/$file" ] || { echo "install test: $file was not installed" >&2; exit 1; }
done
cmake -S "$consumer" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/resave" "$png" "$work/out.png"
"$work/prefix/bin/vqzconv" info "$work/out.png" >/dev/null
echo "install test: passed"
