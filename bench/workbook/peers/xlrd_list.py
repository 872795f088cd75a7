#!/usr/bin/python3
"""Peer timing: python3-xlrd lists the sheet names of an .xls file in-process.

Usage: xlrd_list.py FILE REPETITIONS
Prints: the median seconds of the listing call alone (open_workbook with on_demand=True
plus sheet_names(), after start-up and imports) and the number of names.
"""
import statistics
import sys
import time

import xlrd


def main():
    path, repetitions = sys.argv[1], int(sys.argv[2])
    times, names = [], []
    for _ in range(repetitions):
        start = time.perf_counter()
        book = xlrd.open_workbook(path, on_demand=True)
        names = book.sheet_names()
        times.append(time.perf_counter() - start)
        book.release_resources()
    print("%.9f %d" % (statistics.median(times), len(names)))


if __name__ == "__main__":
    main()
