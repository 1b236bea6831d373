"""Reads an application manifest resource as windres writes it (-O rc: the block of C-style
string literals, quotes doubled) on standard input and prints each way in which it is not what
Varnholt ships: it parses, runs as invoker, declares Windows 7, 8, 8.1 and 10/11, is DPI-aware
at system level only and depends on Common Controls 6. Exits with 1 when it printed anything."""
import re
import sys
import xml.etree.ElementTree as tree

ASM_V1 = '{urn:schemas-microsoft-com:asm.v1}'
ASM_V3 = '{urn:schemas-microsoft-com:asm.v3}'
COMPATIBILITY = '{urn:schemas-microsoft-com:compatibility.v1}'
SETTINGS_2005 = '{http://schemas.microsoft.com/SMI/2005/WindowsSettings}'
SETTINGS_2016 = '{http://schemas.microsoft.com/SMI/2016/WindowsSettings}'
WINDOWS_7_8_81_10 = sorted(['{35138b9a-5d96-4fbd-8e2d-a2440225f93a}', '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}',
                            '{1f676c76-80e1-4239-95bb-83d0f6d0da78}', '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'])
ESCAPES = {'n': '\n', 'r': '\r', 't': '\t'}


def unquote(literal):
    body = literal[1:-1].replace('""', '"')
    return re.sub(r'\\([0-7]{1,3}|.)',
                  lambda m: chr(int(m[1], 8)) if m[1][0].isdigit() else ESCAPES.get(m[1], m[1]), body)


def problems(root):
    levels = [(e.get('level'), e.get('uiAccess')) for e in root.iter(ASM_V3 + 'requestedExecutionLevel')]
    if levels != [('asInvoker', 'false')]:
        yield f'execution level {levels}, expected asInvoker without UI access'
    systems = sorted(e.get('Id') for e in root.iter(COMPATIBILITY + 'supportedOS'))
    if systems != WINDOWS_7_8_81_10:
        yield f'supported systems {systems}, expected those of Windows 7, 8, 8.1 and 10/11'
    aware = [e.text for e in root.iter(SETTINGS_2005 + 'dpiAware')]
    if aware != ['true']:
        yield f'dpiAware {aware}, expected true'
    if list(root.iter(SETTINGS_2016 + 'dpiAwareness')):
        yield 'claims a dpiAwareness (per monitor), which needs WM_DPICHANGED handling'
    controls = [(e.get('type'), e.get('version'), e.get('publicKeyToken'))
                for e in root.iter(ASM_V1 + 'assemblyIdentity') if e.get('name') == 'Microsoft.Windows.Common-Controls']
    if controls != [('win32', '6.0.0.0', '6595b64144ccf1df')]:
        yield f'Common Controls dependency {controls}, expected version 6.0.0.0'


def main():
    text = ''.join(unquote(line.strip()) for line in sys.stdin if line.strip().startswith('"'))
    try:
        found = list(problems(tree.fromstring(text)))
    except tree.ParseError as error:
        found = [f'does not parse: {error}']
    print('; '.join(found))
    return 1 if found else 0


sys.exit(main())
