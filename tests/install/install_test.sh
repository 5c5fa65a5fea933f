#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that every file is in place and that a
# desktop would take the desktop entry and the VQZ file type; then builds a small program of
# another project against the installed codec with find_package, without zlib's header in
# reach, and has it load and save a PNG.
# Usage: install_test.sh BUILD_DIR CONSUMER_SOURCE PNG
set -euo pipefail
build=$1 consumer=$2 png=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null
share=$work/prefix/share
for file in bin/vqz2image bin/vqzconv share/applications/vqz2image.desktop \
            share/icons/hicolor/32x32/apps/vqz2image.png share/mime/packages/vqz2image.xml \
            share/thumbnailers/vqz2image.thumbnailer \
            lib/cmake/VqzPng/VqzPngConfig.cmake; do
  [ -f "$work/prefix/$file" ] || fail "$file was not installed"
done

desktop-file-validate "$share/applications/vqz2image.desktop" || fail "the desktop entry is not valid"
grep -qx 'Exec=vqz2image %f' "$share/applications/vqz2image.desktop" ||
  fail "the desktop entry does not pass the file"
grep -qx 'MimeType=application/x-vqz;' "$share/applications/vqz2image.desktop" ||
  fail "the desktop entry does not declare the VQZ type"
xmllint --noout "$share/mime/packages/vqz2image.xml" || fail "the MIME file is not well formed"
export XDG_DATA_HOME=$work/xdg
mkdir -p "$XDG_DATA_HOME/mime/packages"
cp "$share/mime/packages/vqz2image.xml" "$XDG_DATA_HOME/mime/packages/"
update-mime-database "$XDG_DATA_HOME/mime" || fail "update-mime-database refused the MIME file"
grep -qE '^[0-9]+:application/x-vqz:\*\.vqz$' "$XDG_DATA_HOME/mime/globs2" ||
  fail "the MIME database does not map *.vqz to application/x-vqz"

# The thumbnailer's command, as a file manager fills it in, makes a thumbnail of a VQZ file.
thumbnailer=$share/thumbnailers/vqz2image.thumbnailer
grep -qx 'MimeType=application/x-vqz;' "$thumbnailer" || fail "the thumbnailer does not name the VQZ type"
command=$(sed -n 's/^Exec=//p' "$thumbnailer")
{ head -c 16 /dev/zero; printf '\050'; head -c 23 /dev/zero; cat "$png"; } > "$work/in.vqz"
command=${command//%i/$work/in.vqz}
command=${command//%o/$work/thumb.png}
command=${command//%s/16}
PATH=$work/prefix/bin:$PATH $command || fail "the thumbnailer's command failed: $command"
"$work/prefix/bin/vqzconv" info "$work/thumb.png" | grep -qx 'width: 16' ||
  fail "the thumbnailer's command did not make a 16-pixel thumbnail"

# The installed headers are the interface only: the consumer compiles with a zlib.h first on its
# include path that stops any compilation reaching it.
mkdir -p "$work/no-zlib"
echo '#error "the installed headers must not include zlib.h"' > "$work/no-zlib/zlib.h"
cmake -S "$consumer" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_CXX_FLAGS="-I$work/no-zlib" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/resave" "$png" "$work/out.png"
"$work/prefix/bin/vqzconv" info "$work/out.png" >/dev/null
echo "install test: passed"
