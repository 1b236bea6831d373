#!/usr/bin/env python3
"""Makes the download for Windows users: DIST_DIR/varnholt-VERSION-windows-x86.zip and
DIST_DIR/SHA256SUMS beside it.

The zip holds the window, the console program, the page and README.txt (from README_TEMPLATE,
with the version filled in and CR LF line ends) at its top level. Every field is fixed by the
inputs alone, so one commit gives the same bytes on every machine: the entries in one order,
each dated by the commit (or SOURCE_DATE_EPOCH), with the same attributes and no extra fields.

Usage: make_zip.py DIST_DIR VERSION SOURCE_ROOT WINDOW_EXE CLI_EXE PAGE README_TEMPLATE
"""
import hashlib
import os
import pathlib
import subprocess
import sys
import time
import zipfile

FAT = 0  # the host system Windows tools write, so that no Unix permissions go along
NORMAL_FILE = 0x20  # FILE_ATTRIBUTE_ARCHIVE, as a file copied on Windows has it


def zip_name(version):
    return f'varnholt-{version}-windows-x86.zip'


def source_time(root):
    """The time the download is dated: SOURCE_DATE_EPOCH, else the commit's, in UTC."""
    epoch = os.environ.get('SOURCE_DATE_EPOCH')
    if epoch is None:
        epoch = subprocess.run(['git', '-C', root, 'log', '-1', '--format=%ct'], check=True,
                               capture_output=True, text=True).stdout
    # The zip format counts from 1980, in two-second steps.
    return max(time.gmtime(int(epoch))[:6], (1980, 1, 1, 0, 0, 0))


def readme(template, version):
    text = pathlib.Path(template).read_text(encoding='utf-8').replace('@VARNHOLT_VERSION@', version)
    return text.replace('\r\n', '\n').replace('\n', '\r\n').encode('ascii')


def write_zip(path, entries, date_time):
    with zipfile.ZipFile(path, 'w') as archive:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time)
            info.create_system = FAT
            info.external_attr = NORMAL_FILE
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data, compresslevel=9)


def replace_file(path, data):
    """Writes PATH through a temporary file beside it: a failed run leaves no half file."""
    temporary = path.with_name(path.name + '.part')
    temporary.write_bytes(data)
    temporary.replace(path)


def main(dist_dir, version, root, window_exe, cli_exe, page, readme_template):
    dist = pathlib.Path(dist_dir)
    dist.mkdir(parents=True, exist_ok=True)
    entries = [('varnholt.exe', pathlib.Path(window_exe).read_bytes()),
               ('varnholt-cli.exe', pathlib.Path(cli_exe).read_bytes()),
               ('varnholt.html', pathlib.Path(page).read_bytes()),
               ('README.txt', readme(readme_template, version))]
    name = zip_name(version)
    temporary = dist / (name + '.part')
    write_zip(temporary, entries, source_time(root))
    digest = hashlib.sha256(temporary.read_bytes()).hexdigest()
    temporary.replace(dist / name)
    replace_file(dist / 'SHA256SUMS', f'{digest}  {name}\n'.encode('ascii'))
    # A download of another version, from an earlier build, is not this build's.
    for old in dist.glob(zip_name('*')):
        if old.name != name:
            old.unlink()


if __name__ == '__main__':
    if len(sys.argv) != 8:
        sys.exit(__doc__.split('\n\n')[-1].strip())
    main(*sys.argv[1:])
