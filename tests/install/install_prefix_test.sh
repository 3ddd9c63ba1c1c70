#!/usr/bin/env bash
# Installs the build into a prefix of its own (not the one it was configured with), moves the
# prefix elsewhere, and makes a real book with the installed quirebind-cli: the program must
# find the template of the prefix it sits in, not the configured one nor the build tree's.
#
#   tests/install/install_prefix_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
tmp=$(mktemp -d "${TMPDIR:-/tmp}/qb-install-test-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

"${CMAKE:-cmake}" --install "$build" --prefix "$tmp/p" >"$tmp/install.log" || {
  cat "$tmp/install.log" >&2
  fail "cmake --install into $tmp/p"
}
cp "$build/install_manifest.txt" "$tmp/manifest"

expected=(bin/quirebind-cli share/quirebind/epubfiles/mimetype
          share/quirebind/epubfiles/META-INF/container.xml share/man/man1/quirebind-cli.1.gz
          share/doc/quirebind/README.html)
if grep -q '^QB_WITH_GUI:BOOL=ON' "$build/CMakeCache.txt"; then
  expected+=(bin/quirebind share/applications/quirebind.desktop
             share/icons/hicolor/16x16/apps/quirebind.png share/icons/hicolor/32x32/apps/quirebind.png
             share/icons/hicolor/48x48/apps/quirebind.png
             share/metainfo/example.quirebind.Quirebind.metainfo.xml)
fi
for f in "${expected[@]}"; do
  [[ -f "$tmp/p/$f" ]] || fail "the install has no $f"
done
# A work folder of the build tree (OEBPS/ of a run from there) must not be installed.
[[ ! -e "$tmp/p/share/quirebind/epubfiles/OEBPS" ]] || fail "the install holds OEBPS/"
[[ -x "$tmp/p/bin/quirebind-cli" ]] || fail "quirebind-cli is not executable"
count=$(find "$tmp/p" -type f | wc -l)

# Copied elsewhere after installing, so nothing recorded at install time can point back to it; and the
# template marked, so the book shows which copy it was made from.
cp -a "$tmp/p" "$tmp/moved"
marker='<!-- the template of the moved prefix -->'
echo "$marker" >>"$tmp/moved/share/quirebind/epubfiles/META-INF/container.xml"

printf 'The first line.\nThe second line.\n' >"$tmp/one.txt"
printf 'Another page.\n' >"$tmp/two.txt"
mkdir "$tmp/work"
(cd "$tmp/work" && env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 TMPDIR="$tmp/work" HOME="$tmp" \
  "$tmp/moved/bin/quirebind-cli" -q -t "Prefix Test" -a "Ann Reader" -o "$tmp/out" \
  "$tmp/one.txt" "$tmp/two.txt" >"$tmp/cli.out" 2>"$tmp/cli.err") || {
  cat "$tmp/cli.err" >&2
  fail "the installed quirebind-cli made no book"
}
book="$tmp/out/Prefix Test.epub"
[[ "$(cat "$tmp/cli.out")" == "$book" ]] || fail "printed \"$(cat "$tmp/cli.out")\", not the book's path"
unzip -p "$book" META-INF/container.xml | grep -qF "$marker" ||
  fail "the book was not made from the installed prefix's template"
[[ -z "$(ls -A "$tmp/work")" ]] || fail "the run left its work folder behind"
# The jar itself: /usr/bin/epubcheck runs only where binfmt_misc knows jars.
java -Xshare:auto -XX:TieredStopAtLevel=1 -jar /usr/share/java/epubcheck.jar "$book" \
  >"$tmp/epubcheck.log" 2>&1 || { cat "$tmp/epubcheck.log" >&2; fail "epubcheck"; }

# Without any template the program says where it looked, and makes nothing.
configured=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")/share/quirebind/epubfiles
rm -r "$tmp/moved/share/quirebind/epubfiles"
if [[ -f "$configured/mimetype" ]]; then
  echo "note: $configured holds a template, so the missing-template message was not checked"
else
  status=0
  env -i PATH=/usr/bin:/bin LC_ALL=C.UTF-8 TMPDIR="$tmp/work" "$tmp/moved/bin/quirebind-cli" \
    -t T -a A -o "$tmp/out2" "$tmp/one.txt" >/dev/null 2>"$tmp/cli.err" || status=$?
  [[ $status -eq 1 ]] || fail "exit status $status without a template, not 1"
  grep -qF "$tmp/moved/share/quirebind/epubfiles" "$tmp/cli.err" ||
    fail "the message does not name the prefix's folder: $(cat "$tmp/cli.err")"
  [[ ! -e "$tmp/out2" ]] || fail "an output folder was made without a template"
fi
# Uninstalling takes what the manifest lists and the template's folders, and leaves what the
# user put there and the shared folders.
mkdir -p "$tmp/p/share/quirebind/mine"
echo "keep" >"$tmp/p/share/quirebind/mine/notes.txt"
echo "keep" >"$tmp/p/bin/another-program"
"${CMAKE:-cmake}" -DMANIFEST="$tmp/manifest" -P "$(dirname "$0")/../../dist/uninstall.cmake" >"$tmp/uninstall.log" ||
  { cat "$tmp/uninstall.log" >&2; fail "uninstall"; }
left=$(cd "$tmp/p" && find . -type f | sort | tr '\n' ' ')
[[ "$left" == "./bin/another-program ./share/quirebind/mine/notes.txt " ]] ||
  fail "after uninstalling these files are left: $left"
[[ ! -e "$tmp/p/share/quirebind/epubfiles" ]] || fail "the template folder was left behind"
[[ -d "$tmp/p/bin" ]] || fail "bin/ was removed"

echo "installed $count files into a prefix of its own; copied elsewhere, it made a book that epubcheck passed"
