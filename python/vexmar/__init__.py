"""VexmarExt for Python grading hosts.

The library's classes by late binding, with pywin32's calling convention, so that a host
written for ``win32com.client.Dispatch`` runs unchanged::

    import vexmar
    sheets = vexmar.Dispatch("VexmarExt.ClsExcelMultiSheets")
    sheets.Rule = "K|Sheet*|5|工作表名称错误"
    sheets.TestPath = "/exam/001"
    sheets.FileName = "成绩表.xls"
    ok, msg = sheets.ParseRule("")          # result, then the in/out parameters
    for rule in sheets.PingRules:            # a collection is a Python sequence too
        print(rule)

Members are the class table's, by name with letter case ignored. Values: str, int,
float (stored as float32), bool, a tuple of str for a string list (None when absent),
vexmar.Collection for a collection (Count, Item(i) 1-based, Add, Remove; len(), iteration
and [i] 0-based). Errors raise vexmar.Error. See docs/host-guide.md.
"""

from ._errors import Error
from ._vexmar import (
    Collection,
    CreateObject,
    Dispatch,
    Method,
    Object,
    list_worksheets,
    sorted_in_listing_order,
)

__all__ = [
    "Collection",
    "CreateObject",
    "Dispatch",
    "Error",
    "Method",
    "Object",
    "list_worksheets",
    "sorted_in_listing_order",
]
