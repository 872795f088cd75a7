#!/usr/bin/python3
"""Seed corpora for every fuzz target from a folder of real workbooks, read in place.

usage: make_external_seeds.py SOURCE_DIR OUT_DIR
  -> OUT_DIR/<target>/ for list_worksheets, compound_file, compound_lenient, biff,
     biff_decryption, encrypted_package, zip_container, package_parts, xml_workbook,
     xml_skeleton

Whole-file seeds are symbolic links to the files where they lie (nothing is copied);
targets that take a derived input (the parts of a package spliced at a marker, a
skeleton depth prefix, a bare BIFF stream) get that input written under OUT_DIR, which
belongs in the build tree. Files above MAX_BYTES are left out: libFuzzer would cut them
short, and a cut zip has lost its central directory.
"""
import os
import sys
import zipfile

MAX_BYTES = 1 << 20
MARKER = b"\n@@PART@@\n"
PARTS = ["_rels/.rels", "xl/workbook.xml", "xl/_rels/workbook.xml.rels", "[Content_Types].xml",
         "xl/workbook.bin", "xl/_rels/workbook.bin.rels", "mimetype", "content.xml",
         "META-INF/manifest.xml", "xl/worksheets/sheet1.xml"]
TARGETS = ["list_worksheets", "compound_file", "compound_lenient", "biff", "biff_decryption",
           "encrypted_package", "zip_container", "package_parts", "xml_workbook",
           "xml_skeleton"]
# The lenient compound-file target reads four bytes of changes before the file: every
# change at once (overstated counts, a cut tail, a link leaving the directory).
LENIENT_PREFIX = b"\x07\x01\x01\x00"


def kind(head):
    if head.startswith(b"\xD0\xCF\x11\xE0"):
        return "compound"
    if head.startswith(b"PK"):
        return "zip"
    text = head.lstrip(b"\xEF\xBB\xBF\xFF\xFE \t\r\n\0")
    return "xml" if text.startswith(b"<") else "other"


def link(out, target, path, index):
    name = "%05d-%s" % (index, os.path.basename(path))
    os.symlink(os.path.abspath(path), os.path.join(out, target, name))


def write(out, target, name, data):
    with open(os.path.join(out, target, name), "wb") as f:
        f.write(data)


def package_parts(path):
    with zipfile.ZipFile(path) as z:
        names = {n.replace("\\", "/"): n for n in z.namelist()}
        parts = [z.read(names[p]) if p in names else b"" for p in PARTS]
    while parts and not parts[-1]:
        parts.pop()
    return MARKER.join(parts)


def biff_stream(path):
    try:
        import olefile  # python3-olefile; without it the biff target keeps its own seeds
    except ImportError:
        return None
    ole = olefile.OleFileIO(path)
    for stream, prefix in (("Workbook", b"\0"), ("Book", b"\1")):
        if ole.exists(stream):
            return prefix + ole.openstream(stream).read()[:16384]
    return None


def main(source, out):
    for target in TARGETS:
        os.makedirs(os.path.join(out, target), exist_ok=True)
    index = 0
    for root, _, files in sorted(os.walk(source)):
        for name in sorted(files):
            path = os.path.join(root, name)
            if not os.path.isfile(path) or os.path.getsize(path) > MAX_BYTES:
                continue
            with open(path, "rb") as f:
                head = f.read(64)
            what = kind(head)
            if what == "other":
                continue
            index += 1
            link(out, "list_worksheets", path, index)
            try:
                if what == "compound":
                    link(out, "compound_file", path, index)
                    with open(path, "rb") as f:
                        whole = f.read()
                    write(out, "compound_lenient", "%05d" % index, LENIENT_PREFIX + whole)
                    # Mode 2 of the encrypted-package target lists a whole compound file.
                    write(out, "encrypted_package", "%05d" % index, b"\x02" + whole)
                    stream = biff_stream(path)
                    if stream:
                        write(out, "biff", "%05d" % index, stream)
                        # Mode 2 (RC4 CryptoAPI) takes the rest as the encrypted globals.
                        write(out, "biff_decryption", "%05d" % index, b"\x02" + stream[1:])
                elif what == "zip":
                    link(out, "zip_container", path, index)
                    write(out, "package_parts", "%05d.parts" % index, package_parts(path))
                else:
                    link(out, "xml_workbook", path, index)
                    with open(path, "rb") as f:
                        write(out, "xml_skeleton", "%05d" % index, b"\x03\x07" + f.read())
            except Exception:  # a damaged real file still seeds the whole-file targets
                continue
    print("%d external seeds from %s" % (index, source))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
