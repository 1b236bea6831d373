#!/usr/bin/env bash
# Checks the 32-bit release file itself: a PE32 i386 GUI program that imports only stock
# Windows DLLs and carries icon group 102 (16x16 and 32x32), the version resource and the
# application manifest.
# Arguments: EXE OBJDUMP WINDRES
set -euo pipefail
exe=$1 objdump=$2 windres=$3
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
for line in 'FILEVERSION 1, 0, 0, 1' 'PRODUCTVERSION 1, 0, 0, 1' 'FILEOS 0x4' 'FILETYPE 0x1' \
            'BLOCK "040904b0"' 'VALUE "FileVersion", "1.00.0001"' 'VALUE "ProductVersion", "1.00.0001"' \
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

echo "size: $(stat -c %s "$exe") bytes"
[ $status -eq 0 ] && echo "release file checks passed"
exit $status
