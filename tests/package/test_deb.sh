#!/usr/bin/env bash
# test_deb.sh BUILD_DIR VERSION
#
# Builds the .deb from BUILD_DIR with cpack, checks its file list and control
# fields with dpkg-deb, validates the desktop entry and the AppStream file,
# installs it with apt as a person would, runs glimmerftp-cli --version from
# its installed path, and removes the package again. Exit 77: skipped.
set -euo pipefail
build=$1 version=$2

if [ "$(id -u)" -ne 0 ] || ! command -v apt-get >/dev/null || ! command -v dpkg-deb >/dev/null; then
  echo "SKIP: needs root, apt-get and dpkg-deb"
  exit 77
fi
if dpkg-query -W -f='${Status}' glimmerftp 2>/dev/null | grep -q "install ok installed"; then
  echo "SKIP: a glimmerftp package is installed already; remove it to run this test"
  exit 77
fi

fail() { echo "FAIL: $*"; exit 1; }

# apt reads the local .deb as its own unprivileged user: a folder it may enter.
work=$(mktemp -d /tmp/glimmer-deb.XXXXXX)
chmod 755 "$work"
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq glimmerftp >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

start=$SECONDS
cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
arch=$(dpkg --print-architecture)
deb="$work/glimmerftp_${version}_${arch}.deb"
[ -f "$deb" ] || { ls -l "$work"; fail "no $deb"; }
chmod 644 "$deb"
echo "packaged in $((SECONDS - start)) s: $(du -k "$deb" | cut -f1) KiB"

# The file list: both programs, the launcher, the icon, the manual page and
# the metainfo; nothing of the build (libraries, headers, tests).
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
cat >"$work/expected" <<LIST
/usr/bin/glimmerftp
/usr/bin/glimmerftp-cli
/usr/share/applications/glimmerftp.desktop
/usr/share/icons/hicolor/scalable/apps/glimmerftp.svg
/usr/share/man/man1/glimmerftp-cli.1.gz
/usr/share/metainfo/glimmerftp.metainfo.xml
LIST
sort -o "$work/expected" "$work/expected"
diff -u "$work/expected" "$work/files" || fail "file list"

# The control fields.
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = glimmerftp ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
depends=$(field Depends)
echo "Depends: $depends"
for lib in libc6 libqt6core6 libqt6network6 libqt6gui6 libqt6widgets6 libqt6multimedia6 zlib1g; do
  grep -Eq "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib"
done
if grep -q libqt6keychain1 <<<"$depends"; then
  # QtKeychain opens libsecret at run time; the package has to bring it.
  grep -q libsecret-1-0 <<<"$depends" || fail "Depends has QtKeychain but not libsecret-1-0"
fi

# The desktop entry and the metainfo as desktops and software centres read them.
mkdir "$work/tree"
dpkg-deb --extract "$deb" "$work/tree"
desktop-file-validate "$work/tree/usr/share/applications/glimmerftp.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$work/tree/usr/share/metainfo/glimmerftp.metainfo.xml" >"$work/appstream" 2>&1 || true
if grep -q '^E:' "$work/appstream"; then cat "$work/appstream"; fail "metainfo"; fi
zcat "$work/tree/usr/share/man/man1/glimmerftp-cli.1.gz" | grep -q 'password.-stdin' || fail "manual page"

# Installed as a person installs it, then used from its installed path.
start=$SECONDS
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log"; fail "apt-get install $deb"; }
installed=1
echo "installed in $((SECONDS - start)) s"
out=$(/usr/bin/glimmerftp-cli --version)
[ "$out" = "glimmerftp-cli $version" ] || fail "--version printed '$out'"
# Every library the programs need resolves on the installed system.
for program in /usr/bin/glimmerftp /usr/bin/glimmerftp-cli; do
  if ldd "$program" | grep -q 'not found'; then ldd "$program"; fail "$program misses a library"; fi
done

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq glimmerftp >"$work/apt.log" 2>&1 \
  || { cat "$work/apt.log"; fail "apt-get remove"; }
installed=0
[ ! -e /usr/bin/glimmerftp-cli ] || fail "/usr/bin/glimmerftp-cli is still there after the removal"
echo "PASS: package $deb"
