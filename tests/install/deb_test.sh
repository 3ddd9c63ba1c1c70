#!/usr/bin/env bash
# Checks the package `make deb` made: its name, its dependencies, its file list, its AppStream
# and desktop files; then unpacks it into a throwaway root with `dpkg -x` and runs both
# programs from there, the command line on a real book.
#
#   tests/install/deb_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qb-deb-test-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb="$build/quirebind_${version}_$(dpkg --print-architecture).deb"
[[ -f "$deb" ]] || fail "no $deb: run make deb first"
gui=false
grep -q '^QB_WITH_GUI:BOOL=ON' "$build/CMakeCache.txt" && gui=true

[[ "$(dpkg-deb -f "$deb" Package)" == quirebind ]] || fail "the package is not named quirebind"
[[ "$(dpkg-deb -f "$deb" Version)" == "$version" ]] || fail "the package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 zlib1g libuchardet0 libpugixml1v5 \
  libcairo2 libpango-1.0-0 libpangocairo-1.0-0 libharfbuzz0b libharfbuzz-subset0 libjpeg62-turbo; do
  [[ "$depends" == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
# Drawn covers need fonts for every script a title may be in.
[[ "$(dpkg-deb -f "$deb" Recommends)" == *fonts-noto-cjk* ]] || fail "Recommends lacks fonts-noto-cjk"
if $gui; then
  for lib in libqt6widgets6 libpng16-16; do
    [[ "$depends" == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
  done
fi

# The file list: exactly these files, all below /usr.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$tmp/files"
{
  echo ./usr/bin/quirebind-cli
  echo ./usr/share/man/man1/quirebind-cli.1.gz
  echo ./usr/share/doc/quirebind/README.html
  echo ./usr/share/quirebind/epubfiles/META-INF/container.xml
  echo ./usr/share/quirebind/epubfiles/mimetype
  if $gui; then
    echo ./usr/bin/quirebind
    echo ./usr/share/applications/quirebind.desktop
    for size in 16 32 48; do echo ./usr/share/icons/hicolor/${size}x${size}/apps/quirebind.png; done
    echo ./usr/share/metainfo/example.quirebind.Quirebind.metainfo.xml
  fi
} | sort >"$tmp/expected"
diff -u "$tmp/expected" "$tmp/files" >&2 || fail "the package's file list is not the expected one"

root="$tmp/root"
dpkg -x "$deb" "$root"
if readelf -S "$root/usr/bin/quirebind-cli" | grep -q '\.debug_info'; then
  fail "quirebind-cli is packed with its debug information"
fi
zcat "$root/usr/share/man/man1/quirebind-cli.1.gz" | grep -qF -- '\-\-title' ||
  fail "the manual page does not describe --title"
if $gui; then
  appstreamcli validate --no-net "$root/usr/share/metainfo/example.quirebind.Quirebind.metainfo.xml" \
    >"$tmp/appstream.log" 2>&1 || { cat "$tmp/appstream.log" >&2; fail "appstreamcli rejects the metainfo file"; }
  desktop-file-validate "$root/usr/share/applications/quirebind.desktop" >&2 ||
    fail "desktop-file-validate rejects the desktop entry"
  # A file manager's "Open with" hands the chosen files over only through %F.
  grep -qx 'Exec=quirebind %F' "$root/usr/share/applications/quirebind.desktop" ||
    fail "the desktop entry does not take the files it is opened with"
  grep -qx 'MimeType=text/plain;' "$root/usr/share/applications/quirebind.desktop" ||
    fail "the desktop entry does not declare text/plain"
fi

# The unpacked command line, on a real book, in a locale of Latin-1 bytes read as UTF-8.
cli="$root/usr/bin/quirebind-cli"
[[ "$(env -i "$cli" --version)" == "quirebind-cli $version" ]] || fail "--version is not $version"
printf 'Caf\xe9 au lait.\nA second line.\n' >"$tmp/one.txt"
printf 'The second page.\n' >"$tmp/two.txt"
mkdir "$tmp/work"
env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 TMPDIR="$tmp/work" HOME="$tmp" \
  "$cli" -q -t "Deb Test" -a "Ann Reader" -o "$tmp/out" "$tmp/one.txt" "$tmp/two.txt" \
  >"$tmp/cli.out" 2>"$tmp/cli.err" || { cat "$tmp/cli.err" >&2; fail "the unpacked CLI made no book"; }
book="$tmp/out/Deb Test.epub"
[[ -f "$book" ]] || fail "no $book"
unzip -p "$book" OEBPS/page1.html | grep -q "Café au lait." || fail "page 1 lost its text"
java -Xshare:auto -XX:TieredStopAtLevel=1 -jar /usr/share/java/epubcheck.jar "$book" \
  >"$tmp/epubcheck.log" 2>&1 || { cat "$tmp/epubcheck.log" >&2; fail "epubcheck"; }

# The unpacked window starts and keeps running until it is stopped. It works in a folder of its
# own below ~/.cache, made from the unpacked template, which is marked to tell it from any other.
# Stopped by a signal, the window leaves that folder for the next one to clear up.
if $gui; then
  marker='<!-- the unpacked template -->'
  echo "$marker" >>"$root/usr/share/quirebind/epubfiles/META-INF/container.xml"
  status=0
  env -i PATH=/usr/bin:/bin HOME="$tmp/home" QT_QPA_PLATFORM=offscreen \
    timeout 3 "$root/usr/bin/quirebind" >"$tmp/window.log" 2>&1 || status=$?
  [[ $status -eq 124 ]] || { cat "$tmp/window.log" >&2; fail "the window ended with status $status"; }
  grep -qsF "$marker" "$tmp"/home/.cache/quirebind/quirebind-work-*/META-INF/container.xml ||
    fail "the window's work folder was not made from the unpacked template"
fi
echo "deb: $(basename "$deb"), $(wc -l <"$tmp/files") files, $(stat -c %s "$deb") bytes; the unpacked programs run"
