#!/usr/bin/env bash
# Checks the 32-bit release file itself: a PE32 i386 GUI program that imports only stock
# Windows DLLs and carries icon group 102 (16x16 and 32x32), the version resource and the
# application manifest; at most 32 KiB, linked without the C++ runtime (read from the link map
# beside it, EXE's name ending in .map), and built again in the folder beside EXE's with
# "-reproduced" added, byte for byte. The console program beside it is held to no C++ runtime
# either, read from its own link map, and to the same bytes from the second build: both go into
# the download, which one commit must always give the same. VERSION is the version as shown
# (1.00.0001), NUMBERS as the version resource numbers it (1, 0, 0, 1).
# Arguments: EXE OBJDUMP WINDRES CLI_EXE VERSION NUMBERS
set -euo pipefail
exe=$1 objdump=$2 windres=$3 cli=$4 version=$5 numbers=$6
status=0
fail() { echo "FAIL: $*"; status=1; }

headers=$("$objdump" -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || fail "not a PE32 i386 file"
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "not a GUI program"

stock='^(kernel32|user32|gdi32|advapi32|ole32|msvcrt|shell32|comctl32)\.dll$'
imports=$(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
echo "imports: $(tr '\n' ' ' <<<"$imports")"
[ -n "$imports" ] || fail "no import table"
while read -r dll; do
    tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -Eq "$stock" || fail "imports $dll, which is no stock Windows DLL"
done <<<"$imports"

resources=$("$windres" -J coff -O rc -i "$exe")
group=$(sed -n '/^102 14 \/\* RT_GROUP_ICON \*\//,/^END/p' <<<"$resources")
[ -n "$group" ] || fail "no icon group 102"
# Directory entries: width, height, colours (16) and reserved, then planes 1 and 4 bits per pixel.
grep -qF '"\020\020\020\000", 1, 4,' <<<"$group" || fail "icon group 102 lacks the 16x16 16-colour image"
grep -qF '"\040\040\020\000", 1, 4,' <<<"$group" || fail "icon group 102 lacks the 32x32 16-colour image"
for line in "FILEVERSION $numbers" "PRODUCTVERSION $numbers" 'FILEOS 0x4' 'FILETYPE 0x1' \
            'BLOCK "040904b0"' "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
            'VALUE "ProductName", "Varnholt"' \
            'VALUE "FileDescription", "Generates bounded keyword phrases for Google AdWords"' \
            'VALUE "CompanyName", "Varnholt"' 'VALUE "LegalCopyright", "Freeware"' \
            'VALUE "Comments", "example.com"' 'VALUE "Translation", 0x409, 1200'; do
    grep -qiF "$line" <<<"$resources" || fail "version resource lacks: $line"
done

# --- Manifest: one RT_MANIFEST, id 1, that parses, run as invoker, declares Windows 7, 8, 8.1
# and 10/11, is DPI-aware at system level only and depends on Common Controls 6. A manifest the
# platform cannot parse stops the program from starting at all.
manifests=$(grep -cE '^[0-9A-Za-z_"]+ 24 /\* RT_MANIFEST \*/' <<<"$resources" || true)
[ "$manifests" -eq 1 ] || fail "$manifests manifest resources, expected one"
manifest=$(sed -n '/^1 24 \/\* RT_MANIFEST \*\//,/^END/p' <<<"$resources")
[ -n "$manifest" ] || fail "no manifest resource with id 1"
problems=$(python3 "$(dirname "$0")/check_manifest.py" <<<"$manifest") || fail "manifest: $problems"
# --- end of the manifest checks

# ---- Without the C++ runtime: the size, the link map, the same bytes from every build ----
size_limit=32768
size=$(stat -c %s "$exe")
echo "size: $size bytes"
[ "$size" -le $size_limit ] || fail "the file is $size bytes, more than $size_limit"

# The link map the program was linked with lies beside it. Every archive member the linker
# took must be the program's own, an import stub of a stock Windows DLL or a helper from the
# compiler's libgcc.a (not its unwinder): no C++ library, no exception runtime, no C runtime.
map=${exe%.exe}.map
[ -s "$map" ] || fail "no link map at $map"
own_archive='^(libvarnholt_[a-z_]+|lib(kernel32|user32|gdi32|advapi32|ole32|msvcrt|shell32|comctl32)|libgcc)\.a$'
members=$(sed -n '/^Archive member included/,/^Discarded input sections/s|^\([^ ].*\.a\)(\([^)]*\))$|\1 \2|p' "$map")
[ ! -s "$map" ] || [ -n "$members" ] || fail "the link map lists no archive members"
while read -r archive member; do
    [ -n "$archive" ] || continue
    name=$(basename "$archive")
    grep -Eq "$own_archive" <<<"$name" || fail "links $name($member), which is not the program's"
    if [ "$name" = libgcc.a ] && grep -Eqi 'unwind|_eh' <<<"$member"; then
        fail "links the unwinder's $member"
    fi
done <<<"$members"
# Objects named on the link line, as a runtime's start-up files are, must be the program's own.
while read -r object; do
    [ -z "$object" ] || grep -q '/CMakeFiles/varnholt\.dir/' <<<"$object" ||
        fail "links the object $object, which is not the program's"
done < <(sed -n 's/^LOAD //p' "$map" | grep -Ev '\.a$|^dll stuff$')
# Symbols that only the runtime defines.
runtime=$(grep -Em3 '__cxa_|__gxx_personality|__gcc_personality|_Unwind_|std::__throw|operator (new|delete)|typeinfo for|__register_frame' "$map" || true)
[ -z "$runtime" ] || fail "the link map holds runtime symbols: $runtime"
# A string_view::substr that may throw is enough to bring in the runtime's exceptions.
cli_runtime=$(grep -Em3 '__cxa_|__gxx_personality|_Unwind_|std::__throw' "${cli%.exe}.map" || true)
[ -z "$cli_runtime" ] || fail "the console program's link map holds runtime symbols: $cli_runtime"
# No start-up code would run static constructors, destructors or TLS callbacks.
startup=$(grep -Em3 '^ \.(ctors|dtors|tls|CRT\$)' "$map" || true)
[ -z "$startup" ] || fail "the program has input sections that need a runtime's start-up: $startup"

# One commit, one file: no time stamp in the PE header or the resource directories, no folder
# of the build's inside, and a second build in another folder gives the same bytes.
pe=$(od -An -tu4 -j60 -N4 "$exe" | tr -d ' ')
[ "$(od -An -tu4 -j$((pe + 8)) -N4 "$exe" | tr -d ' ')" = 0 ] || fail "the PE header carries a time stamp"
stamped=$(grep -E 'Table: .*Time: ' <<<"$headers" | grep -v 'Time: 00000000' || true)
[ -z "$stamped" ] || fail "a resource directory carries a time stamp: $stamped"
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$(dirname "$exe")" && pwd)
again=$build-reproduced
texts=$(strings -a "$exe")
for folder in "$root" "$build" "$again"; do
    ! grep -qF "$folder" <<<"$texts" || fail "the file names the folder $folder"
done
mkdir -p "$again"
if { [ -f "$again/build.ninja" ] ||
     cmake -S "$root" -B "$again" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" \
         -DVARNHOLT_TESTS=OFF; } >"$again/check.log" 2>&1 &&
   cmake --build "$again" --target varnholt varnholt-cli >>"$again/check.log" 2>&1; then
    for built in "$exe" "$cli"; do
        cmp -s "$built" "$again/$(basename "$built")" ||
            fail "a second build in $again gives other bytes: $(cmp "$built" "$again/$(basename "$built")" | head -1)"
    done
else
    fail "the second build in $again failed (see $again/check.log)"
fi

[ $status -eq 0 ] && echo "release file checks passed"
exit $status
