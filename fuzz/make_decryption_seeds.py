#!/usr/bin/python3
"""Seeds for the decryption fuzzers from the enc_* fixtures (make_encrypted.py):
biff_decryption: the records after FILEPASS, prefixed with the mode of their method;
encrypted_package: EncryptionInfo streams (mode 0), the plain packages behind
EncryptedPackage size fields (mode 1) and the whole files (mode 2)."""
import io
import os
import struct

import msoffcrypto
import msoffcrypto.exceptions
import olefile

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "tests", "workbook", "fixtures")
BIFF = {"enc_xor_biff8.xls": 0, "enc_xor_biff5.xls": 1, "enc_rc4_md5.xls": 2,
        "enc_cryptoapi_40.xls": 3}


def put(folder, name, data):
    out = os.path.join(HERE, "corpus", folder)
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, name), "wb") as f:
        f.write(data[:65536])


for name, mode in BIFF.items():
    ole = olefile.OleFileIO(os.path.join(FIXTURES, name))
    stream = ole.openstream("Book" if mode == 1 else "Workbook").read()
    pos = 0
    while struct.unpack_from("<H", stream, pos)[0] != 0x002F:
        pos += 4 + struct.unpack_from("<H", stream, pos + 2)[0]
    pos += 4 + struct.unpack_from("<H", stream, pos + 2)[0]
    put("biff_decryption", os.path.splitext(name)[0], bytes([mode]) + stream[pos:])

for name in sorted(os.listdir(FIXTURES)):
    if not name.startswith("enc_") or name.endswith(".xls"):
        continue
    path = os.path.join(FIXTURES, name)
    stem = os.path.splitext(name)[0]
    ole = olefile.OleFileIO(path)
    put("encrypted_package", stem + "-info", b"\0" + ole.openstream("EncryptionInfo").read())
    with open(path, "rb") as f:
        put("encrypted_package", stem + "-file", b"\2" + f.read())
    if "other" in name or "spin_cap" in name:
        continue
    try:
        with open(path, "rb") as f:
            office = msoffcrypto.OfficeFile(f)
            office.load_key(password="VelvetSweatshop")
            plain = io.BytesIO()
            office.decrypt(plain)
        package = plain.getvalue()
        put("encrypted_package", stem + "-package", b"\1" + struct.pack("<Q", len(package)) + package)
    except msoffcrypto.exceptions.InvalidKeyError:  # AES-192, which msoffcrypto cannot read
        pass
