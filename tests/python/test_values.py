"""Values crossing the edge: strings, numbers, booleans, string lists, paths."""
import fractions
import math
import os
import pathlib
import struct

import pytest

import vexmar


def float32(x):
    return struct.unpack("f", struct.pack("f", x))[0]


@pytest.mark.parametrize("text", [
    "", "abc", "工作表名称错误，请检查！", "😀 outside the BMP", "\udcff", "a\udc80b", "\ud800 lone high",
    "line\r\nbreak", "nul\x00inside"])
def test_strings_round_trip(text):
    state = vexmar.Dispatch("VexmarExt.ClsScoreState")
    state.ErrMsg = text
    assert state.ErrMsg == text


@pytest.mark.parametrize("value,expected", [
    (0.1, float32(0.1)), (2.5, 2.5), (-0.0, -0.0), (1e-45, float32(1e-45)),
    (True, -1.0),  # bool16 true is -1
    (7, 7.0), ("7.5", 7.5), (None, 0.0), (fractions.Fraction(1, 4), 0.25)])
def test_float32_properties_store_single_precision(value, expected):
    state = vexmar.Dispatch("VexmarExt.ClsScoreState")
    state.CurScore = value
    assert state.CurScore == expected and isinstance(state.CurScore, float)


def test_nan_and_infinity_pass():
    state = vexmar.Dispatch("VexmarExt.ClsScoreState")
    state.TotalScore = float("inf")
    assert state.TotalScore == float("inf")
    state.TotalScore = float("nan")
    assert math.isnan(state.TotalScore)


@pytest.mark.parametrize("call", [
    lambda p: p.MatchString("abc", "b", 2**31, 0),
    lambda p: p.MatchString("abc", "b", -2**31 - 1, 0),
    lambda p: vexmar.Dispatch("VexmarExt.ClsScoreState").__setattr__("CurScore", 1e39),
])
def test_numbers_out_of_range_are_the_overflow_error(call):
    with pytest.raises(vexmar.Error) as e:
        call(vexmar.Dispatch("VexmarExt.ClsPatternMatchStr"))
    assert e.value.number == 6


def test_int_in_out_and_bool_results():
    p = vexmar.Dispatch("VexmarExt.ClsPatternMatchStr")
    assert p.MatchString("abcdef", "c?e", 1, 0) == (3, 3)
    names = vexmar.Dispatch("VexmarExt.ClsRepeatName")
    assert names.GetRuleItem("W|a.xls|五|msg", "", 0.0)[0] is False


@pytest.mark.parametrize("given", [None, (), ("stale", "x"), ["stale"]])
def test_string_lists_in_and_out(given, workbook_dir):
    names = vexmar.Dispatch("VexmarExt.ClsRepeatName")
    count, files = names.GetFileNames("W|*.xls|2|m", given, workbook_dir)
    assert (count, files) == (1, ("", "成绩表.xls"))


def test_string_list_items_must_be_text():
    names = vexmar.Dispatch("VexmarExt.ClsRepeatName")
    with pytest.raises(TypeError):
        names.GetFileNames("W|*.xls|2|m", ("a", 1), "/")


@pytest.mark.parametrize("path", [
    lambda d: d, lambda d: str(d), lambda d: os.fsencode(d), lambda d: pathlib.PurePosixPath(d)])
def test_paths_are_accepted_as_str_bytes_or_pathlike(path, workbook_dir):
    files = vexmar.Dispatch("VexmarExt.ClsExcelMultiFiles")
    files.TestPath = path(workbook_dir)
    assert files.TestPath == str(workbook_dir)
    assert vexmar.list_worksheets(path(workbook_dir / "成绩表.xls"))[0] == "学生成绩"


def test_values_of_other_types_are_type_errors():
    state = vexmar.Dispatch("VexmarExt.ClsScoreState")
    with pytest.raises(TypeError):
        state.ErrMsg = object()
