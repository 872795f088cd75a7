"""tools/check_includes.py on made-up trees: a clean ladder passes, each kind of fault fails
with the offending include named."""
import importlib.util
import pathlib

import pytest

TOOL = pathlib.Path(__file__).resolve().parents[2] / "tools" / "check_includes.py"
spec = importlib.util.spec_from_file_location("check_includes", TOOL)
check_includes = importlib.util.module_from_spec(spec)
spec.loader.exec_module(check_includes)

CASES = [
    # (files: path -> included paths, expected problem or None when clean)
    ({"vexmar/text/a.hpp": ["vexmar/component/b.hpp"], "vexmar/component/b.hpp": []}, None),
    ({"vexmar/component/b.hpp": ["vexmar/text/a.hpp"], "vexmar/text/a.hpp": []},
     "a layer above it"),
    ({"vexmar/workbook/xls/r.cpp": ["vexmar/workbook/containers/z.hpp", "vexmar/workbook/f.hpp"],
      "vexmar/workbook/containers/z.hpp": [], "vexmar/workbook/f.hpp": []}, None),
    ({"vexmar/workbook/containers/z.cpp": ["vexmar/workbook/detection/d.hpp"],
      "vexmar/workbook/detection/d.hpp": []}, "a folder above it"),
    ({"vexmar/workbook/opendocument/o.cpp": ["vexmar/workbook/ooxml/p.hpp"],
      "vexmar/workbook/ooxml/p.hpp": []}, "a folder on the same rung"),
    ({"vexmar/workbook/f.hpp": ["vexmar/workbook/xls/r.hpp"], "vexmar/workbook/xls/r.hpp": []},
     "a folder above it"),
    ({"vexmar/workbook/attic/x.cpp": ["vexmar/workbook/f.hpp"], "vexmar/workbook/f.hpp": []},
     "has no rung"),
    ({"vexmar/text/a.hpp": ["vexmar/text/b.hpp"], "vexmar/text/b.cpp": ["vexmar/text/a.hpp"],
      "vexmar/text/b.hpp": []}, "include loop between files"),
]


@pytest.mark.parametrize("files,expected", CASES)
def test_reports_each_fault(tmp_path, capsys, files, expected):
    for path, includes in files.items():
        file = tmp_path / path
        file.parent.mkdir(parents=True, exist_ok=True)
        file.write_text("".join(f'#include "{i}"\n' for i in includes), encoding="utf-8")
    status = check_includes.main([str(tmp_path)])
    output = capsys.readouterr().out
    if expected is None:
        assert status == 0, output
    else:
        assert status == 1 and expected in output, output
