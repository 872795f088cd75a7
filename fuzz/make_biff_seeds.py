#!/usr/bin/python3
"""Seeds for biff_fuzzer: the workbook streams of the .xls fixtures (prefixed 0 for
BIFF8, 1 for BIFF5) and the bare BIFF2..BIFF4W fixtures (prefixed 2), cut to 16 KB."""
import os

import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "tests", "workbook", "fixtures")
OUT = os.path.join(HERE, "corpus", "biff")
os.makedirs(OUT, exist_ok=True)
for name in sorted(os.listdir(FIXTURES)):
    path = os.path.join(FIXTURES, name)
    if name.startswith("gen_biff") and not name.startswith("gen_biff5"):
        data = b"\2" + open(path, "rb").read()
    elif olefile.isOleFile(path):
        ole = olefile.OleFileIO(path)
        if ole.exists("Workbook"):
            data = b"\0" + ole.openstream("Workbook").read()
        elif ole.exists("Book"):
            data = b"\1" + ole.openstream("Book").read()
        else:
            continue
    else:
        continue
    with open(os.path.join(OUT, os.path.splitext(name)[0]), "wb") as f:
        f.write(data[:16384])
