#!/bin/sh
# Builds the .deb from a built tree with CPack, lists and unpacks it, runs the
# unpacked program and validates the desktop entry, the AppStream file and
# the systemd unit it holds. Usage: packaging_test.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/hopwatch-deb-XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "packaging_test: $*" >&2; exit 1; }

# CPack installs the build directory into its staging area; with the tree
# already built nothing is compiled.
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/out/hopwatch_*.deb) || fail "no .deb was made"

dpkg-deb -c "$deb" >"$work/contents"
for path in ./usr/bin/hopwatch ./usr/share/applications/org.hopwatch.Hopwatch.desktop \
  ./usr/share/metainfo/org.hopwatch.Hopwatch.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/hopwatch.svg \
  ./usr/share/icons/hicolor/48x48/apps/hopwatch.png \
  ./usr/share/icons/hicolor/256x256/apps/hopwatch.png \
  ./usr/share/man/man1/hopwatch.1 ./usr/lib/systemd/user/hopwatch.service; do
  grep -q " $path\$" "$work/contents" || fail "$path is not in the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
case "$depends" in *libqt6widgets6*) ;; *) fail "Depends lacks libqt6widgets6: $depends" ;; esac

dpkg-deb -x "$deb" "$work/root"
# Every library the program is linked with comes from a package it depends
# on, or the program does not start where only those are installed.
multiarch=$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)
for lib in $(objdump -p "$work/root/usr/bin/hopwatch" | awk '$1 == "NEEDED" {print $2}'); do
  owner=$(dpkg -S "$multiarch/$lib" 2>/dev/null | awk -v want="/$multiarch/$lib" '
    substr($NF, length($NF) - length(want) + 1) == want { sub(/:.*/, "", $1); print $1; exit }')
  if [ -z "$owner" ]; then
    echo "packaging_test: no installed package holds $lib; not checked"
    continue
  fi
  case ", $depends," in
    *", $owner "* | *", $owner,"*) ;;
    *) fail "Depends lacks $owner, which holds $lib: $depends" ;;
  esac
done
version=$("$work/root/usr/bin/hopwatch" --version)
[ "$version" = "hopwatch 2.34" ] || fail "the unpacked program says \"$version\""

share="$work/root/usr/share"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$share/applications/org.hopwatch.Hopwatch.desktop"
else
  echo "packaging_test: desktop-file-validate not installed (desktop-file-utils); skipped"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$share/metainfo/org.hopwatch.Hopwatch.metainfo.xml"
else
  echo "packaging_test: appstreamcli not installed (appstream); skipped"
fi
if command -v systemd-analyze >/dev/null; then
  # A user manager of its own for verify, which also looks up the unit's
  # manual page: the unpacked one.
  mkdir -m 700 "$work/run"
  XDG_RUNTIME_DIR="$work/run" MANPATH="$share/man:" systemd-analyze verify --user \
    "$work/root/usr/lib/systemd/user/hopwatch.service" 2>"$work/verify.log" ||
    { cat "$work/verify.log" >&2; fail "systemd-analyze verify failed"; }
else
  echo "packaging_test: systemd-analyze not on this machine; the unit is not verified"
fi
if command -v man >/dev/null; then
  warnings=$(MANWIDTH=80 man --warnings -l "$share/man/man1/hopwatch.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "the manual page has warnings: $warnings"
fi
echo "packaging_test: $(basename "$deb") holds $(wc -l <"$work/contents") entries; all checks passed"
