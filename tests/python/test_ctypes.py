"""The C interface from Python's ctypes, with no compiled glue: the calls of the Python
module's tests, and a call of every member of the class table, made once through the
module and once through libVexmarExt.so's C functions, give the same results."""
import ctypes
import math
import os

import pytest

import vexmar
from conftest import SAMPLE_EXAM
from test_binding import TABLE, sample

EMPTY, STRING, INT32, FLOAT32, BOOL, LIST, OBJECT = range(7)


class Text(ctypes.Structure):
    _fields_ = [("data", ctypes.c_void_p), ("length", ctypes.c_size_t)]


class List(ctypes.Structure):
    _fields_ = [("items", ctypes.POINTER(ctypes.c_char_p)), ("count", ctypes.c_size_t)]


class Union(ctypes.Union):
    _fields_ = [("string", Text), ("int32", ctypes.c_int32), ("float32", ctypes.c_float),
                ("boolean", ctypes.c_int32), ("list", List), ("object", ctypes.c_void_p)]


class Value(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("owned", ctypes.c_int32), ("as_", Union)]


def load():
    lib = ctypes.CDLL(os.environ["VEXMAR_C_LIBRARY"])
    handle_out, value_p, status = ctypes.POINTER(ctypes.c_void_p), ctypes.POINTER(Value), ctypes.c_int32
    for name, args in [("vexmar_create", [ctypes.c_char_p, handle_out]),
                       ("vexmar_new_collection", [handle_out]),
                       ("vexmar_call", [ctypes.c_void_p, ctypes.c_char_p, value_p, ctypes.c_size_t, value_p]),
                       ("vexmar_get", [ctypes.c_void_p, ctypes.c_char_p, value_p]),
                       ("vexmar_put", [ctypes.c_void_p, ctypes.c_char_p, value_p]),
                       ("vexmar_list_worksheets", [ctypes.c_char_p, value_p])]:
        getattr(lib, name).argtypes, getattr(lib, name).restype = args, status
    lib.vexmar_release.argtypes, lib.vexmar_release.restype = [ctypes.c_void_p], None
    lib.vexmar_value_clear.argtypes, lib.vexmar_value_clear.restype = [value_p], None
    lib.vexmar_error_number.restype = ctypes.c_int32
    lib.vexmar_error_description.restype = ctypes.c_char_p
    return lib


LIB = load()


class CError(Exception):
    def __init__(self):
        super().__init__(LIB.vexmar_error_number(), LIB.vexmar_error_description().decode("utf-8"))
        self.number, self.description = self.args


def checked(status):
    if status != 0:
        raise CError()


class CObject:
    """One handle; `prog_id` names its class in the table (None for a collection)."""

    def __init__(self, handle, prog_id=None):
        self.handle, self.prog_id = handle, prog_id

    def __del__(self):
        LIB.vexmar_release(self.handle)


def to_c(value, keep):
    v = Value()
    if value is None:
        v.type = EMPTY
    elif isinstance(value, bool):
        v.type, v.as_.boolean = BOOL, value
    elif isinstance(value, int):
        v.type, v.as_.int32 = INT32, value
    elif isinstance(value, float):
        v.type, v.as_.float32 = FLOAT32, value
    elif isinstance(value, (str, bytes, os.PathLike)):
        data = os.fsencode(value)  # a name that was not UTF-8 goes back as its bytes
        keep.append(ctypes.create_string_buffer(data, len(data) + 1))
        v.type, v.as_.string = STRING, Text(ctypes.addressof(keep[-1]), len(data))
    elif isinstance(value, (tuple, list)):
        items = (ctypes.c_char_p * max(len(value), 1))(*[os.fsencode(i) for i in value])
        keep.append(items)
        v.type, v.as_.list = LIST, List(items, len(value))
    elif isinstance(value, CObject):
        v.type, v.as_.object = OBJECT, value.handle
    else:
        raise TypeError(value)
    return v


def from_c(v):
    """A library-owned value as the Python module gives it; the value is given back."""
    if v.type == OBJECT:
        return CObject(v.as_.object) if v.as_.object else None  # the handle is now ours
    try:
        if v.type == STRING:
            return os.fsdecode(ctypes.string_at(v.as_.string.data, v.as_.string.length))
        if v.type == LIST:
            return tuple(os.fsdecode(v.as_.list.items[i]) for i in range(v.as_.list.count)) or None
        return {EMPTY: None, INT32: v.as_.int32, FLOAT32: v.as_.float32,
                BOOL: bool(v.as_.boolean)}[v.type]
    finally:
        LIB.vexmar_value_clear(ctypes.byref(v))


def result_type(obj, name):
    for cls in TABLE:
        if cls["prog_id"] == obj.prog_id:
            for m in cls["members"]:
                if m["kind"] == "method" and m["name"].lower() == name.lower():
                    return m["result"]
    return "unknown"


class CApi:
    """The calls the tests make, through the C functions."""

    @staticmethod
    def dispatch(what):
        handle = ctypes.c_void_p()
        checked(LIB.vexmar_create(what.encode(), ctypes.byref(handle)))
        for cls in TABLE:
            if what.lower() in (cls["prog_id"].lower(), cls["clsid"].lower()):
                return CObject(handle, cls["prog_id"])
        return CObject(handle)

    @staticmethod
    def collection():
        handle = ctypes.c_void_p()
        checked(LIB.vexmar_new_collection(ctypes.byref(handle)))
        return CObject(handle)

    @staticmethod
    def get(obj, name):
        result = Value()
        checked(LIB.vexmar_get(obj.handle, name.encode(), ctypes.byref(result)))
        return from_c(result)

    @staticmethod
    def put(obj, name, value):
        keep = []
        checked(LIB.vexmar_put(obj.handle, name.encode(), ctypes.byref(to_c(value, keep))))

    @staticmethod
    def call(obj, name, *args):
        keep = []
        values = (Value * max(len(args), 1))(*[to_c(a, keep) for a in args])
        result = Value()
        status = LIB.vexmar_call(obj.handle, name.encode(), values, len(args), ctypes.byref(result))
        written = [from_c(values[i]) for i in range(len(args)) if values[i].owned]
        checked(status)
        # The module's convention: the result, then the new in/out values.
        if not written:
            return from_c(result)
        out = ([] if result_type(obj, name) == "none" else [from_c(result)]) + written
        return out[0] if len(out) == 1 else tuple(out)

    @staticmethod
    def items(collection):
        count = CApi.get(collection, "Count")
        return [CApi.call(collection, "Item", i) for i in range(1, count + 1)]

    @staticmethod
    def list_worksheets(path):
        names = Value()
        checked(LIB.vexmar_list_worksheets(os.fsencode(path), ctypes.byref(names)))
        return list(from_c(names)) if names.type == LIST else from_c(names)


class ModuleApi:
    """The same calls through the Python module."""
    dispatch = staticmethod(vexmar.Dispatch)
    collection = staticmethod(vexmar.Collection)
    get = staticmethod(getattr)
    put = staticmethod(setattr)
    list_worksheets = staticmethod(vexmar.list_worksheets)

    @staticmethod
    def call(obj, name, *args):
        return getattr(obj, name)(*args)

    @staticmethod
    def items(collection):
        return list(collection)


def outcome(case, api, test_dir):
    try:
        return plain(case(api, test_dir), api)
    except (vexmar.Error, CError) as e:
        return ("error", e.number, e.description)


def plain(value, api):
    if isinstance(value, (CObject, vexmar.Object)):
        return ("collection", tuple(api.items(value)))
    if isinstance(value, float) and math.isnan(value):
        return "nan"
    if isinstance(value, (tuple, list)):
        return tuple(plain(v, api) for v in value)
    return value


def round_trip(prop, value):
    def case(api, _):
        state = api.dispatch("VexmarExt.ClsScoreState")
        api.put(state, prop, value)
        return api.get(state, prop)
    return case


def parse_rule(rule, path, file_name):
    def case(api, test_dir):
        sheets = api.dispatch("VexmarExt.ClsExcelMultiSheets")
        for prop, value in (("Rule", rule), ("TestPath", path(test_dir)), ("FileName", file_name)):
            api.put(sheets, prop, value)
        return api.call(sheets, "ParseRule", ""), api.get(sheets, "PingRules"), api.get(sheets, "Weight")
    return case


def shared_collection(api, _):
    files, mine = api.dispatch("VexmarExt.ClsExcelMultiFiles"), api.collection()
    api.put(files, "FilesName", mine)
    for item in ("a", "b", "c"):
        api.call(mine, "Add", item)
    api.call(mine, "Remove", 2)
    sheets = api.dispatch("VexmarExt.ClsExcelMultiSheets")
    api.put(sheets, "PingRules", None)
    return api.get(files, "FilesName"), api.get(mine, "Count"), api.call(mine, "Item", 2), api.get(sheets, "PingRules")


def matcher(*args):
    return lambda api, _: api.call(api.dispatch("VexmarExt.ClsPatternMatchStr"), "MatchString", *args)


def repeat_name(member, *args):
    def case(api, test_dir):
        return api.call(api.dispatch("VexmarExt.ClsRepeatName"), member,
                        *[a(test_dir) if callable(a) else a for a in args])
    return case


# The calls of test_values.py and test_errors_files_threads.py that a C host can make
# (conversions of Python's own values, such as Fraction or an int beyond 32 bits, and the
# lone high surrogate, which UTF-8 cannot carry, stay with the module's own tests).
CASES = {
    **{"string %r" % t: round_trip("ErrMsg", t) for t in
       ["", "abc", "工作表名称错误，请检查！", "😀 outside the BMP", "\udcff", "a\udc80b",
        "line\r\nbreak", "nul\x00inside"]},
    **{"float32 %r" % v: round_trip("CurScore", v) for v in
       [0.1, 2.5, -0.0, 1e-45, True, 7, "7.5", None, float("inf"), float("nan")]},
    "MatchString in/out": matcher("abcdef", "c?e", 1, 0),
    "MatchString wrong count": matcher("a"),
    "MatchString wrong type": matcher("a", "b", "x", 0),
    "GetRuleItem refused": repeat_name("GetRuleItem", "W|a.xls|五|msg", "", 0.0),
    **{"GetFileNames given %r" % (g,): repeat_name("GetFileNames", "W|*.xls|2|m", g, str)
       for g in [None, (), ("stale", "x"), ["stale"]]},
    "GetFileNames non-UTF-8": repeat_name("GetFileNames", "W|*.xlsx|2|m", None, os.fsencode),
    "ChangeRuleFileName non-UTF-8": repeat_name("ChangeRuleFileName", "W|*.xlsx|2|m", "\udcff\udcfe.xlsx"),
    "ParseRule non-UTF-8": parse_rule("T|?月|3|m", os.fsencode, "\udcff\udcfe.xlsx"),
    "ParseRule missing directory": parse_rule("K|Sheet*|5|msg", lambda d: "/nonexistent", "成绩表.xls"),
    **{"ParseRule " + c: parse_rule("K|*成绩*#汇总|5|工作表名称错误", lambda d, c=c: str(SAMPLE_EXAM / c), "成绩表.xls")
       for c in ["001-张三", "002-李四", "003-王五", "006-周八"]},
    "collection shared and Nothing": shared_collection,
    "Item of an empty collection": lambda api, _: api.call(api.collection(), "Item", 1),
    "no such class": lambda api, _: api.dispatch("VexmarExt.NoSuchClass"),
    "no such CLSID": lambda api, _: api.dispatch("{00000000-0000-0000-0000-000000000000}"),
    "worksheets": lambda api, d: api.list_worksheets(d / "成绩表.xls"),
    "worksheets non-UTF-8": lambda api, d: api.list_worksheets(os.fsencode(d) + b"/\xff\xfe.xlsx"),
    "worksheets of a missing file": lambda api, _: api.list_worksheets("/nonexistent/成绩表.xls"),
    "worksheets of no workbook": lambda api, _: api.list_worksheets(SAMPLE_EXAM / "001-张三" / "说明.txt"),
    "worksheets of a truncated file": lambda api, _: api.list_worksheets(SAMPLE_EXAM / "006-周八" / "成绩表.xls"),
}


@pytest.mark.parametrize("name", list(CASES))
def test_the_module_s_calls_give_the_same_results_through_c(name, workbook_dir):
    expected = outcome(CASES[name], ModuleApi, workbook_dir)
    assert outcome(CASES[name], CApi, workbook_dir) == expected


def member_call(cls, member):
    """The call test_binding.py makes of one member, in any letter case."""
    def case(api, test_dir):
        obj = api.dispatch(cls["prog_id"])
        name, kind = member["name"].swapcase(), member["kind"]
        args = [sample(n, t, test_dir) for n, t, _ in member["parameters"]]
        args = [api.collection() if isinstance(a, vexmar.Collection) else a for a in args]
        if kind == "get":
            return api.get(obj, name)
        if kind in ("put", "putref"):
            api.put(obj, name, args[0])
            return api.get(obj, member["name"])
        return api.call(obj, name, *args)
    return case


@pytest.mark.parametrize("cls,member", [
    pytest.param(c, m, id="%s.%s.%s" % (c["name"], m["kind"], m["name"])) for c in TABLE for m in c["members"]])
def test_every_member_of_the_table_reaches_c(cls, member, workbook_dir):
    case = member_call(cls, member)
    assert outcome(case, CApi, workbook_dir) == outcome(case, ModuleApi, workbook_dir)


def test_distinct_objects_on_threads_and_the_last_error_per_thread():
    """ctypes lets go of the interpreter lock during a call: the threads run at once."""
    import threading
    failing = {"no such class": 429, "MatchString wrong type": 13, "Item of an empty collection": 9}
    work = ["ParseRule " + c for c in ["001-张三", "002-李四", "003-王五", "006-周八"]] + list(failing)
    expected = {name: outcome(CASES[name], CApi, None) for name in work}
    got, problems = {name: set() for name in work}, []

    def run(name):
        try:
            for _ in range(20):
                got[name].add(outcome(CASES[name], CApi, None))
                if name in failing and LIB.vexmar_error_number() != failing[name]:
                    problems.append((name, LIB.vexmar_error_number()))
        except Exception as e:  # reported below; a thread's exception would be lost
            problems.append(e)

    threads = [threading.Thread(target=run, args=(name,)) for name in work]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert problems == [] and got == {name: {expected[name]} for name in work}
