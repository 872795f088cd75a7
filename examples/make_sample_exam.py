#!/usr/bin/python3
"""Regenerates the candidates' files of examples/sample-exam with real spreadsheet
programs from Debian, and records in sample-exam/MADE-BY.txt which program made each.

  python3-xlwt      .xls (BIFF8) through xlwt
  python3-openpyxl  .xlsx through openpyxl
  libreoffice-calc  .xls and .xlsx converted headless from flat ODS
  gnumeric          .xls and .xlsx converted by ssconvert from Gnumeric XML

Run it with Debian's python3 (apt-get install python3-xlwt python3-openpyxl
libreoffice-calc-nogui gnumeric): examples/make_sample_exam.py
The item file items.txt and the expected report are not touched; after regenerating,
run the sample-exam test to see that the report still holds.
"""
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path
from xml.sax.saxutils import escape

EXAM = Path(__file__).resolve().parent / "sample-exam"

# The score tables the workbooks hold; only the worksheet names matter to the exam.
ROWS = [("姓名", "语文", "数学"), ("张三", 86, 92), ("李四", 78, 88), ("王五", 91, 75)]


def version(*packages):
    """The first of the packages that is installed, with its Debian version."""
    for package in packages:
        out = subprocess.run(["dpkg-query", "-W", "-f=${Status} ${Version}", package],
                             capture_output=True, text=True)
        if out.returncode == 0 and out.stdout.startswith("install ok installed"):
            return f"{package} {out.stdout.split()[-1]}"
    return f"{packages[0]} (version unknown)"


def write_xlwt(path, sheets):
    import xlwt
    book = xlwt.Workbook(encoding="utf-8")
    for name in sheets:
        sheet = book.add_sheet(name)
        for r, row in enumerate(ROWS):
            for c, value in enumerate(row):
                sheet.write(r, c, value)
    book.save(str(path))
    return version("python3-xlwt")


def write_openpyxl(path, sheets):
    import openpyxl
    book = openpyxl.Workbook()
    book.remove(book.active)
    for name in sheets:
        sheet = book.create_sheet(name)
        for row in ROWS:
            sheet.append(row)
    book.properties.creator = "make_sample_exam.py"
    book.properties.created = datetime.datetime(2024, 1, 1)
    book.save(str(path))
    return version("python3-openpyxl")


def cell_fods(value):
    if isinstance(value, int):
        return (f'<table:table-cell office:value-type="float" office:value="{value}">'
                f'<text:p>{value}</text:p></table:table-cell>')
    return (f'<table:table-cell office:value-type="string"><text:p>{escape(value)}</text:p>'
            f'</table:table-cell>')


def write_libreoffice(path, sheets, work):
    tables = "".join(
        f'<table:table table:name="{escape(name)}">' +
        "".join("<table:table-row>" + "".join(cell_fods(v) for v in row) + "</table:table-row>"
                for row in ROWS) + "</table:table>" for name in sheets)
    source = work / (path.stem + ".fods")
    source.write_text(
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
        'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
        'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2" '
        'office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
        f'<office:body><office:spreadsheet>{tables}</office:spreadsheet></office:body>'
        '</office:document>\n', encoding="utf-8")
    target = path.suffix[1:].lower()
    out_dir = work / "lo-out"
    subprocess.run(["soffice", f"-env:UserInstallation=file://{work}/lo-profile", "--headless",
                    "--convert-to", target, "--outdir", str(out_dir), str(source)],
                   check=True, capture_output=True, timeout=300)
    shutil.move(out_dir / f"{path.stem}.{target}", path)
    return version("libreoffice-calc", "libreoffice-calc-nogui")


def write_gnumeric(path, sheets, work):
    def cells(rows):
        out = []
        for r, row in enumerate(rows):
            for c, value in enumerate(row):
                kind = 40 if isinstance(value, int) else 60
                out.append(f'<gnm:Cell Row="{r}" Col="{c}" ValueType="{kind}">'
                           f'{escape(str(value))}</gnm:Cell>')
        return "".join(out)

    names = "".join(f"<gnm:SheetName>{escape(n)}</gnm:SheetName>" for n in sheets)
    body = "".join(
        f"<gnm:Sheet><gnm:Name>{escape(n)}</gnm:Name><gnm:MaxCol>{len(ROWS[0]) - 1}</gnm:MaxCol>"
        f"<gnm:MaxRow>{len(ROWS) - 1}</gnm:MaxRow><gnm:Cells>{cells(ROWS)}</gnm:Cells></gnm:Sheet>"
        for n in sheets)
    source = work / (path.stem + ".gnumeric")
    source.write_text(
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        '<gnm:Workbook xmlns:gnm="http://www.gnumeric.org/v10.dtd">'
        f"<gnm:SheetNameIndex>{names}</gnm:SheetNameIndex><gnm:Sheets>{body}</gnm:Sheets>"
        "</gnm:Workbook>\n", encoding="utf-8")
    exporter = {".xls": "Gnumeric_Excel:excel_biff8",
                ".xlsx": "Gnumeric_Excel:xlsx"}[path.suffix.lower()]
    subprocess.run(["ssconvert", "--export-type", exporter, str(source), str(path)],
                   check=True, capture_output=True, timeout=300)
    return version("gnumeric")


def cut_short(path, writer, size, *args):
    """A workbook whose copy broke off after `size` bytes."""
    who = writer(path, *args)
    with open(path, "r+b") as f:
        f.truncate(size)
    return f"{who}, then cut to {size} bytes by make_sample_exam.py"


def write_text(path, text):
    path.write_text(text, encoding="utf-8")
    return "plain text written by make_sample_exam.py"


def main():
    made_by = []
    with tempfile.TemporaryDirectory() as tmp:
        work = Path(tmp)

        def make(relative, writer, *args):
            path = EXAM / relative
            path.parent.mkdir(parents=True, exist_ok=True)
            made_by.append((relative, writer(path, *args)))

        # 001: the expected hand-in; a LibreOffice lock file is hidden from the listing.
        make("001-张三/成绩表.xls", write_xlwt, ["学生成绩", "课程成绩", "汇总"])
        make("001-张三/统计.xlsx", write_openpyxl, ["一月", "二月", "三月", "图表数据", "备注"])
        make("001-张三/说明.txt", write_text, "成绩表按学号排序。\n")
        make("001-张三/.~lock.成绩表.xls#", write_text, ",张三,zhang,01.03.2024 09:12,\n")
        # 002: default worksheet names, so "*成绩*" and "图表*" match nothing.
        make("002-李四/成绩表.xls", write_libreoffice, ["Sheet1", "Sheet2", "Summary"], work)
        make("002-李四/统计.xlsx", write_libreoffice, ["十二月", "合计", "Sheet3"], work)
        make("002-李四/成绩.csv", write_text, "".join(",".join(map(str, r)) + "\n" for r in ROWS))
        # 003: no 成绩表.xls at all, and a text file saved under a workbook's name.
        make("003-王五/统计.xlsx", write_text, "这不是工作簿，只是改了扩展名的文本文件。\n")
        # 004: upper-case extension; files from gnumeric.
        make("004-赵六/成绩表.XLS", write_gnumeric, ["期中成绩", "期末成绩", "汇总"], work)
        make("004-赵六/统计.xlsx", write_gnumeric, ["一月", "二月", "三月", "图表1"], work)
        # 005: handed in nothing (git keeps the directory through a hidden file).
        make("005-孙七/.keep", write_text, "")
        # 006: a workbook whose copy broke off; "?月" fits 1月 but not 月度图表.
        make("006-周八/成绩表.xls", cut_short, write_libreoffice, 4096,
             ["学生成绩", "汇总"], work)
        make("006-周八/统计.xlsx", write_openpyxl, ["1月", "2月", "月度图表"])

    lines = ["# Which program made each candidate file of the sample exam.",
             "# Written by examples/make_sample_exam.py; run it again to regenerate the files.", ""]
    lines += [f"{p}: {who}" for p, who in made_by]
    (EXAM / "MADE-BY.txt").write_text("\n".join(lines) + "\n", encoding="utf-8")


if __name__ == "__main__":
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        # Debian's python3 is the one that has python3-xlwt and python3-openpyxl.
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    main()
