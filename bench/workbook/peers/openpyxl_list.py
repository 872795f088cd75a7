#!/usr/bin/python3
"""Times python3-openpyxl listing worksheet names, in process: the interpreter and the
import are done before the clock starts, and only load_workbook(read_only=True) plus
sheetnames is timed. Prints "<seconds> <path>" per file (best of REPEATS)."""
import sys
import time

import openpyxl

REPEATS = 3


def main():
    for path in sys.argv[1:]:
        best = float("inf")
        for _ in range(REPEATS):
            start = time.perf_counter()
            wb = openpyxl.load_workbook(path, read_only=True)
            _ = wb.sheetnames
            best = min(best, time.perf_counter() - start)
            wb.close()
        print(f"{best:.9f} {path}", flush=True)


if __name__ == "__main__":
    main()
