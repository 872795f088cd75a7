#!/usr/bin/python3
"""Writes an .xls workbook of many small worksheets with python3-xlwt (a real producer,
with the globals a spreadsheet writes: fonts, formats, styles).

Usage: make_xlwt_sheets.py FILE SHEETS
"""
import sys

import xlwt


def main():
    path, count = sys.argv[1], int(sys.argv[2])
    book = xlwt.Workbook(encoding="utf-8")
    for i in range(1, count + 1):
        sheet = book.add_sheet("Sheet%d" % i)
        for row in range(5):
            sheet.write(row, 0, "row %d" % row)
            sheet.write(row, 1, row * i)
    book.save(path)


if __name__ == "__main__":
    main()
