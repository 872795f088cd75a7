"""Every member of the class table, reached through the generated binding."""
import pytest

import vexmar
from vexmar import _vexmar

TABLE = _vexmar._class_table()
PY_TYPE = {
    "none": type(None),
    "str": str,
    "int": int,
    "float": float,
    "bool": bool,
    "strlist": (tuple, type(None)),
    "collection": (vexmar.Collection, type(None)),
}


def sample(name, type_, test_dir):
    """An argument of the declared type that the member accepts."""
    if "Path" in name:
        return str(test_dir)
    if name == "strRule":
        return "W|*.xls|2|答案文件名错误"
    return {"str": "成绩表.xls", "int": 1, "float": 2.5, "bool": True,
            "strlist": ("", "a.xls"), "collection": vexmar.Collection()}[type_]


def table_members():
    for cls in TABLE:
        for m in cls["members"]:
            yield pytest.param(cls, m, id="%s.%s.%s" % (cls["name"], m["kind"], m["name"]))


@pytest.mark.parametrize("cls,member", list(table_members()))
def test_every_member_answers_by_name_with_its_declared_types(cls, member, workbook_dir):
    obj = vexmar.Dispatch(cls["prog_id"])
    name, kind = member["name"], member["kind"]
    any_case = name.swapcase()
    if kind == "get":
        assert isinstance(getattr(obj, any_case), PY_TYPE[member["result"]])
    elif kind in ("put", "putref"):
        value = sample("", member["parameters"][0][1], workbook_dir)
        setattr(obj, any_case, value)
        assert getattr(obj, name) == value
    else:
        args = [sample(n, t, workbook_dir) for n, t, _ in member["parameters"]]
        result = getattr(obj, any_case)(*args)
        # pywin32's convention: the result, then the new in/out values in order.
        types = [] if member["result"] == "none" else [member["result"]]
        types += [t for _, t, d in member["parameters"] if d == "inout"]
        if len(types) > 1:
            assert isinstance(result, tuple) and len(result) == len(types)
        else:
            result = (result,)
        for value, type_ in zip(result, types or ["none"]):
            assert isinstance(value, PY_TYPE[type_])


def test_objects_by_clsid_and_every_class_listed():
    for cls in TABLE:
        by_clsid = vexmar.CreateObject(cls["clsid"].lower())
        assert sorted(dir(by_clsid)) == sorted({m["name"] for m in cls["members"]})
    assert {c["name"] for c in TABLE} == {
        "ClsRepeatName", "ClsScoreState", "ClsExcelMultiFiles", "ClsExcelMultiSheets",
        "ClsTest", "ClsPatternMatchStr"}


def test_collection_members_and_sequence_view():
    c = vexmar.Collection()
    for item in ("a", "b", "c"):
        c.Add(item)
    c.Remove(2)
    assert (c.Count, len(c), c.Item(1), c[0], c[-1], list(c)) == (2, 2, "a", "a", "c", ["a", "c"])
    with pytest.raises(IndexError):
        c[2]
    with pytest.raises(vexmar.Error) as e:
        c.Item(3)
    assert e.value.number == 9


def test_a_collection_written_by_reference_is_shared():
    files = vexmar.Dispatch("VexmarExt.ClsExcelMultiFiles")
    mine = vexmar.Collection()
    files.FilesName = mine
    mine.Add("x.xls")
    assert list(files.FilesName) == ["x.xls"] and files.FilesName == mine
    sheets = vexmar.Dispatch("VexmarExt.ClsExcelMultiSheets")
    sheets.PingRules = mine
    sheets.PingRules = None  # Nothing
    assert sheets.PingRules is None


def test_unknown_names_are_attribute_errors():
    state = vexmar.Dispatch("VexmarExt.ClsScoreState")
    assert not hasattr(state, "NoSuchMember")
    with pytest.raises(AttributeError):
        state.NoSuchMember = 1
