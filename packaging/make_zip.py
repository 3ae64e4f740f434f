#!/usr/bin/env python3
"""make_zip.py ZIP FOLDER EPOCH: packs FOLDER (under its own name) into ZIP, the same bytes for
the same files wherever and whenever it runs: entries in sorted order, each dated EPOCH (seconds;
zip dates start in 1980 and have two-second steps), folders 0755, files 0644 or 0755 when
executable, no owner, no extra fields, deflated at level 9."""
import os
import sys
import time
import zipfile


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    zip_path, folder, epoch = sys.argv[1], sys.argv[2].rstrip("/"), int(sys.argv[3])
    date = time.gmtime(max(epoch, 315532800))[:6]  # 1980-01-01
    base = os.path.dirname(folder)

    paths = [folder]
    for root, dirs, files in os.walk(folder):
        paths += [os.path.join(root, name) for name in dirs + files]
    names = {path: os.path.relpath(path, base).replace(os.sep, "/") for path in paths}

    with zipfile.ZipFile(zip_path, "w") as archive:
        for path in sorted(paths, key=names.get):
            folder_entry = os.path.isdir(path)
            info = zipfile.ZipInfo(names[path] + ("/" if folder_entry else ""), date_time=date)
            info.create_system = 3  # Unix, so that the modes below are read
            if folder_entry:
                info.external_attr = 0o40755 << 16 | 0x10  # and the MS-DOS folder bit
                archive.writestr(info, b"")
            else:
                executable = os.stat(path).st_mode & 0o111
                info.external_attr = (0o100755 if executable else 0o100644) << 16
                with open(path, "rb") as source:
                    archive.writestr(info, source.read(), zipfile.ZIP_DEFLATED, 9)

if __name__ == "__main__":
    main()
