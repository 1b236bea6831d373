#!/usr/bin/env python3
"""Checks the download as it ships: the zip's listing and fields, SHA256SUMS, the unpacked files
against the build's, the version in each of them, and the same bytes from a second making.

Usage: check_dist.py DIST_DIR VERSION UNPACKED_DIR RELEASE_DIR PAGE WINDRES SOURCE_ROOT
RELEASE_DIR is the release build, which holds varnholt.exe and varnholt-cli.exe.
"""
import hashlib
import pathlib
import subprocess
import sys
import tempfile
import zipfile

LISTING = ['varnholt.exe', 'varnholt-cli.exe', 'varnholt.html', 'README.txt']
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def check_fields(archive):
    """What would differ between two machines' zips is fixed: dates, attributes, extra fields."""
    infos = archive.infolist()
    check([info.filename for info in infos] == LISTING,
          f'the zip lists {[info.filename for info in infos]}, not {LISTING}')
    check(len({info.date_time for info in infos}) == 1, 'the entries carry different dates')
    for info in infos:
        fields = (info.create_system, info.external_attr, info.extra, info.comment, info.compress_type)
        check(fields == (0, 0x20, b'', b'', zipfile.ZIP_DEFLATED),
              f'{info.filename}: host system, attributes, extra field, comment, method are {fields}')
    check(archive.comment == b'', 'the zip has a comment')


def check_files(unpacked, release, page, version, windres):
    for name, built in [('varnholt.exe', release / 'varnholt.exe'),
                        ('varnholt-cli.exe', release / 'varnholt-cli.exe'), ('varnholt.html', page)]:
        check((unpacked / name).read_bytes() == built.read_bytes(), f'{name} is not the build\'s {built}')

    readme = (unpacked / 'README.txt').read_bytes()
    check(readme.count(b'\n') > 0 and readme.count(b'\n') == readme.count(b'\r\n')
          and readme.count(b'\r') == readme.count(b'\r\n'), 'README.txt has line ends other than CR LF')
    check(readme.startswith(f'Varnholt {version}\r\n'.encode()), 'README.txt does not begin with the version')
    check(b'@VARNHOLT_VERSION@' not in readme, 'README.txt holds an unfilled version')

    check(f'<footer class="note">Varnholt {version}</footer>'.encode() in (unpacked / 'varnholt.html').read_bytes(),
          'the page\'s foot does not show the version')
    check(f'varnholt-cli {version}\n'.encode() in (unpacked / 'varnholt-cli.exe').read_bytes(),
          'varnholt-cli.exe does not hold its version line')
    # A file without resources gets no output, and so fails the checks below.
    resources = subprocess.run([windres, '-J', 'coff', '-O', 'rc', '-i', str(unpacked / 'varnholt.exe')],
                               capture_output=True, text=True).stdout
    for value in ['FileVersion', 'ProductVersion']:
        check(f'VALUE "{value}", "{version}"' in resources, f'varnholt.exe\'s {value} is not {version}')


def main(dist_dir, version, unpacked_dir, release_dir, page, windres, root):
    dist, release, unpacked = pathlib.Path(dist_dir), pathlib.Path(release_dir), pathlib.Path(unpacked_dir)
    name = f'varnholt-{version}-windows-x86.zip'
    if not (dist / name).is_file():
        print(f'FAIL: {dist} holds no {name}')
        return 1
    zip_bytes = (dist / name).read_bytes()
    with zipfile.ZipFile(dist / name) as archive:
        check_fields(archive)
        check(archive.testzip() is None, 'an entry fails its CRC')
    check(sorted(path.name for path in dist.iterdir()) == sorted([name, 'SHA256SUMS']),
          f'build/dist holds {sorted(path.name for path in dist.iterdir())}')
    check((dist / 'SHA256SUMS').read_bytes() == f'{hashlib.sha256(zip_bytes).hexdigest()}  {name}\n'.encode(),
          'SHA256SUMS does not hold the zip\'s checksum and name')
    check_files(unpacked, release, pathlib.Path(page), version, windres)

    # Made again from the same files: the same bytes.
    with tempfile.TemporaryDirectory() as again:
        subprocess.run([sys.executable, str(pathlib.Path(root) / 'packaging' / 'make_zip.py'), again, version,
                        root, str(release / 'varnholt.exe'), str(release / 'varnholt-cli.exe'), page,
                        str(pathlib.Path(root) / 'packaging' / 'README.txt')], check=True)
        for made in [name, 'SHA256SUMS']:
            check((pathlib.Path(again) / made).read_bytes() == (dist / made).read_bytes(),
                  f'{made} made a second time differs')

    for failure in failures:
        print('FAIL:', failure)
    if not failures:
        print(f'{name}: {len(zip_bytes)} bytes; ' +
              ', '.join(f'{entry} {(unpacked / entry).stat().st_size}' for entry in LISTING))
    return 1 if failures else 0


if __name__ == '__main__':
    if len(sys.argv) != 8:
        sys.exit(__doc__.split('\n\n')[1])
    sys.exit(main(*sys.argv[1:]))
