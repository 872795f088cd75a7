#!/usr/bin/python3
"""Writes a workbook package of about SIZE_MB megabytes (three sheets and a large stored
media part, as a workbook with pictures has), encrypted with the default password the
way office programs do it (agile, AES-256, SHA-512, spin count 100,000).

Usage: make_encrypted_package.py OUT SIZE_MB"""
import io
import os
import shutil
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..",
                                "tests", "workbook", "fixtures"))
import make_encrypted  # noqa: E402

out, size_mb = sys.argv[1], int(sys.argv[2])
plain = io.BytesIO()
with zipfile.ZipFile(io.BytesIO(make_encrypted.plain_xlsx(["First", "Second", "Third"]))) as src, \
        zipfile.ZipFile(plain, "w", zipfile.ZIP_DEFLATED) as dst:
    for item in src.infolist():
        dst.writestr(item, src.read(item.filename))
    dst.writestr(zipfile.ZipInfo("xl/media/image1.png"), os.urandom(size_mb << 20),
                 compress_type=zipfile.ZIP_STORED)
with open(out, "wb") as f:
    f.write(make_encrypted.agile_package(plain.getvalue(), make_encrypted.DEFAULT, "SHA512", 256))
shutil.rmtree(make_encrypted.TMP, ignore_errors=True)
