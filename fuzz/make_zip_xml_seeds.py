#!/usr/bin/python3
"""Seed corpora for the zip, package-part and XML fuzzers, made from the fixtures.

usage: make_zip_xml_seeds.py FIXTURE_DIR OUT_DIR
  -> OUT_DIR/{zip_container,package_parts,xml_workbook,xml_skeleton}
"""
import os
import shutil
import sys
import zipfile

MARKER = b"\n@@PART@@\n"
PARTS = ["_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "[Content_Types].xml",
         "xl/workbook.bin", "xl/_rels/workbook.bin.rels", "mimetype", "content.xml",
         "META-INF/manifest.xml", "xl/worksheets/sheet1.xml"]


def main(fixtures, out):
    dirs = {k: os.path.join(out, k)
            for k in ("zip_container", "package_parts", "xml_workbook", "xml_skeleton")}
    for d in dirs.values():
        os.makedirs(d, exist_ok=True)
    for name in sorted(os.listdir(fixtures)):
        path = os.path.join(fixtures, name)
        if name.endswith((".py", ".tsv", ".md")) or not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            head = f.read(2)
        if head != b"PK":
            shutil.copy(path, dirs["xml_workbook"])
            # The skeleton fuzzer takes the kept depth and a read size in its first bytes.
            with open(path, "rb") as src, open(os.path.join(dirs["xml_skeleton"], name), "wb") as dst:
                dst.write(b"\x03\x07" + src.read())
            continue
        shutil.copy(path, dirs["zip_container"])
        try:
            with zipfile.ZipFile(path) as z:
                names = set(z.namelist())
                parts = [z.read(p) if p in names else b"" for p in PARTS]
        except Exception:
            continue
        while parts and not parts[-1]:
            parts.pop()
        with open(os.path.join(dirs["package_parts"], name + ".parts"), "wb") as f:
            f.write(MARKER.join(parts))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
