"""Errors with number and description, non-UTF-8 file names, threads."""
import os
import threading

import pytest

import vexmar
from conftest import SAMPLE_EXAM


@pytest.mark.parametrize("call,number", [
    (lambda: vexmar.Dispatch("VexmarExt.NoSuchClass"), 429),
    (lambda: vexmar.Dispatch("{00000000-0000-0000-0000-000000000000}"), 429),
    (lambda: vexmar.Collection().Item(1), 9),
    (lambda: vexmar.Dispatch("VexmarExt.ClsPatternMatchStr").MatchString("a"), 450),
    (lambda: vexmar.Dispatch("VexmarExt.ClsPatternMatchStr").MatchString("a", "b", "x", 0), 13),
    (lambda: vexmar.list_worksheets("/nonexistent/成绩表.xls"), 75),
])
def test_errors_carry_number_description_and_hresult(call, number):
    with pytest.raises(vexmar.Error) as caught:
        call()
    e = caught.value
    assert e.number == number
    assert e.hresult == (0x800A0000 | number) - (1 << 32)
    assert any("\u4e00" <= c <= "\u9fff" for c in e.description)
    assert str(e) == "%d (0x%08X) %s" % (number, 0x800A0000 | number, e.description)


def test_parse_rule_hands_its_error_back_in_the_message():
    sheets = vexmar.Dispatch("VexmarExt.ClsExcelMultiSheets")
    sheets.Rule = "K|Sheet*|5|msg"
    sheets.TestPath = "/nonexistent"
    sheets.FileName = "成绩表.xls"
    ok, message = sheets.ParseRule("")
    assert ok is False and message


def test_list_worksheets_gives_none_for_a_file_that_is_not_a_workbook(tmp_path):
    (tmp_path / "notes.xls").write_bytes(b"\x00\x01binary, not a workbook" * 10)
    assert vexmar.list_worksheets(tmp_path / "notes.xls") is None


def test_non_utf8_file_names_round_trip(workbook_dir):
    names = vexmar.Dispatch("VexmarExt.ClsRepeatName")
    count, files = names.GetFileNames("W|*.xlsx|2|m", None, workbook_dir)
    assert files == ("", "\udcff\udcfe.xlsx")  # as os.fsdecode gives the name
    assert os.path.exists(os.path.join(workbook_dir, files[1]))
    assert "\udcff\udcfe.xlsx" in names.ChangeRuleFileName("W|*.xlsx|2|m", files[1])
    sheets = vexmar.Dispatch("VexmarExt.ClsExcelMultiSheets")
    sheets.Rule, sheets.TestPath, sheets.FileName = "T|?月|3|m", os.fsencode(workbook_dir), files[1]
    assert sheets.ParseRule("") == (True, "")
    assert list(sheets.PingRules) == ["T|一月|3|m", "T|二月|3|m", "T|三月|3|m"]
    assert vexmar.list_worksheets(os.fsencode(workbook_dir) + b"/\xff\xfe.xlsx")[0] == "一月"


def parse(candidate, shared=None):
    sheets = shared or vexmar.Dispatch("VexmarExt.ClsExcelMultiSheets")
    sheets.Rule = "K|*成绩*#汇总|5|工作表名称错误"
    sheets.TestPath = str(SAMPLE_EXAM / candidate)
    sheets.FileName = "成绩表.xls"
    ok, message = sheets.ParseRule("")
    return ok, message, tuple(sheets.PingRules)


@pytest.mark.parametrize("shared", [False, True], ids=["distinct-objects", "one-shared-object"])
def test_parse_rule_from_four_threads(shared):
    candidates = ["001-张三", "002-李四", "003-王五", "006-周八"]
    expected = {c: parse(c) for c in candidates}
    one = vexmar.Dispatch("VexmarExt.ClsExcelMultiSheets") if shared else None
    got, failures = {c: set() for c in candidates}, []

    def work(candidate):
        try:
            for _ in range(25):
                if shared:
                    one.TestPath = str(SAMPLE_EXAM / candidate)  # races are the host's; no crash
                    one.ParseRule("")
                else:
                    got[candidate].add(parse(candidate))
        except Exception as e:  # reported below; a thread's exception would be lost
            failures.append(e)

    threads = [threading.Thread(target=work, args=(c,)) for c in candidates]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
    if not shared:
        assert got == {c: {expected[c]} for c in candidates}
