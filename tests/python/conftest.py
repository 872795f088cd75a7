import os
import pathlib
import shutil

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("VEXMAR_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
SAMPLE_EXAM = SOURCE_DIR / "examples" / "sample-exam"


@pytest.fixture
def workbook_dir(tmp_path):
    """A test directory with two workbooks of the sample exam, one under a non-UTF-8 name."""
    source = SAMPLE_EXAM / "001-张三"
    shutil.copy(source / "成绩表.xls", tmp_path / "成绩表.xls")
    shutil.copy(source / "统计.xlsx", os.fsdecode(bytes(tmp_path) + b"/\xff\xfe.xlsx"))
    return tmp_path
