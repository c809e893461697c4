#!/usr/bin/env bash
# The program installed as a user or a package installs it: `cmake --install` into a prefix
# under DESTDIR gives the expected tree; the desktop entry and the AppStream description
# validate; with the prefix among the desktop's data folders and its MIME database built,
# binders and isolated tabs are recognised with and without their extension; the installed
# program starts, finds its samples in share/vellomar and copies them on its first run.
#
# install_test.sh BUILD_DIR
# Needs desktop-file-validate, update-mime-database, xdg-mime and gio (scripts/setup.sh
# installs them); appstreamcli where installed.
set -euo pipefail
build=$1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
for tool in desktop-file-validate update-mime-database xdg-mime gio; do
  if ! command -v "$tool" >/dev/null; then
    if [[ "${CI:-}" == "true" ]]; then fail "$tool is not installed (scripts/setup.sh installs it)"; fi
    echo "skipped: $tool is not installed (scripts/setup.sh installs it)"
    exit 0
  fi
done

work=$(mktemp -d /tmp/vl-install-XXXXXXXX)
trap 'rm -rf "$work"' EXIT
prefix=/opt/vellomar-test
root=$work/dest$prefix
DESTDIR=$work/dest cmake --install "$build" --prefix "$prefix" >"$work/install.log" ||
  fail "cmake --install: $(cat "$work/install.log")"

id=org.vellomar.Vellomar
expected=(
  bin/vellomar bin/vlnotes bin/vlaudio bin/vltrack bin/vleditor
  "share/vellomar/Samples/Example.vl"
  "share/vellomar/Samples/2009-09-03 13.47 36.5 (108).wav"
  "share/vellomar/Samples/2009-09-03 13.47 36.5 (108).vu"
  share/vellomar/GettingStarted/index.html
  "share/applications/$id.desktop"
  "share/metainfo/$id.metainfo.xml"
  "share/mime/packages/$id.xml"
  "share/icons/hicolor/scalable/apps/$id.svg"
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done
for file in "${expected[@]}"; do
  [[ -f "$root/$file" ]] || fail "not installed: $file"
done
for program in vellomar vlnotes vlaudio vltrack vleditor; do
  [[ -x "$root/bin/$program" ]] || fail "not executable: bin/$program"
done
[[ ! -e "$work/dest/usr" && ! -e "$prefix" ]] || fail "something was installed outside DESTDIR"

desktop-file-validate --no-hints "$root/share/applications/$id.desktop" ||
  fail "desktop-file-validate"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/as.log")"
fi

# The file types, as the desktop's file manager sees them (GIO, through xdg-mime).
update-mime-database "$root/share/mime" 2>/dev/null
mkdir -p "$work/files"
cp "$root/share/vellomar/Samples/Example.vl" "$work/files/Binder.vl"
cp "$root/share/vellomar/Samples/Example.vl" "$work/files/binder without extension"
printf '<NotesDoc Version="2" TabTitle="Lecture">\r\nCaretPos\r\n' >"$work/files/tab without extension"
cp "$work/files/tab without extension" "$work/files/Tab.vlTab"
filetype() {
  XDG_DATA_DIRS="$root/share:/usr/share" XDG_CURRENT_DESKTOP=GNOME xdg-mime query filetype "$1"
}
for check in "Binder.vl=application/x-vellomar-binder" \
  "binder without extension=application/x-vellomar-binder" \
  "Tab.vlTab=application/x-vellomar-tab" \
  "tab without extension=application/x-vellomar-tab"; do
  file=${check%%=*} type=${check#*=}
  got=$(filetype "$work/files/$file")
  [[ "$got" == "$type" ]] || fail "$file is '$got', not $type"
done

# The installed program, in a home of its own: it starts, finds its samples and the first run
# copies them.
home=$work/home
mkdir -p "$home/runtime"
chmod 700 "$home/runtime"
env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" QT_QPA_PLATFORM=offscreen \
  "$root/bin/vellomar" --quit-after-start >"$work/run.out" 2>"$work/run.err" ||
  fail "the installed program did not start: $(cat "$work/run.err")"
grep -q "Start-up:" "$work/run.out" || fail "no start-up line: $(cat "$work/run.out")"
trace=$home/Documents/Vellomar/Trace.txt
grep -q "First run: 3 copied, 0 kept, 0 missing" "$trace" || fail "samples: $(grep 'First run' "$trace")"
[[ -f "$home/Documents/Vellomar/Example.vl" ]] || fail "Example.vl not copied"
[[ -f "$home/data/Vellomar/Audio/2009-09/2009-09-03 13.47 36.5 (108).wav" ]] ||
  fail "the sample recording was not copied"
"$root/bin/vellomar" --version | grep -q "^vellomar " || fail "--version"
echo "installed tree, desktop entry, file types and the installed program: all good"
