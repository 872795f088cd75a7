"""The vexmar tool: its answers for the sample exam are the example host's report, in
plain text and in JSON; bad usage, unreadable files and non-UTF-8 names."""
import json
import os
import pathlib
import re
import shutil
import subprocess

import pytest

SOURCE_DIR = pathlib.Path(os.environ.get("VEXMAR_SOURCE_DIR", pathlib.Path(__file__).parents[2]))
EXAM = pathlib.Path("examples/sample-exam")
TOOL = os.environ["VEXMAR_CLI"]


def run(*args, stdin=""):
    done = subprocess.run([TOOL, *map(os.fsdecode, args)], input=stdin.encode(), capture_output=True,
                          cwd=SOURCE_DIR)
    return done.returncode, done.stdout.decode("utf-8", "surrogateescape"), done.stderr.decode()


def items():
    """(kind, file name, rule lines) of each item of the exam's item file."""
    text = (SOURCE_DIR / EXAM / "items.txt").read_text("utf-8")
    for block in text.split("\n---\n"):
        lines = [l for l in block.splitlines() if l and not l.startswith(";")]
        kind, _, file_name = lines[0].strip("[").partition("] file=")
        yield kind.rstrip("]"), file_name, lines[1:]


def report_blocks():
    """{(candidate, item number): the lines the example host wrote for it}."""
    blocks, key, candidate = {}, None, None  # the item list before the candidates is skipped
    for line in (SOURCE_DIR / "tests/examples/sample-exam-report.txt").read_text("utf-8").splitlines():
        if m := re.match(r"candidate (\S+)  ", line):
            candidate = m.group(1)
        elif (m := re.match(r"  item (\d+) ", line)) and candidate:
            key = (candidate, int(m.group(1)))
            blocks[key] = []
        elif line.startswith("    ") and key:
            blocks[key].append(line)
        else:
            key = None
    return blocks


CANDIDATES = sorted(p.name for p in (SOURCE_DIR / EXAM).iterdir() if p.is_dir())
REPORT = report_blocks()


def item_args(kind, file_name, rule):
    """The command for an item; the multi-file rule comes from standard input."""
    if kind == "sheet":
        return ["expand", "--file", file_name, "--rule", "\n".join(rule)], ""
    if kind == "naming":
        return ["files", "--rule", "\n".join(rule)], ""
    return ["files"], "\n".join(rule) + "\n"


@pytest.mark.parametrize("number,item", [pytest.param(n, i, id="item%d-%s" % (n, i[0]))
                                         for n, i in enumerate(items(), 1)])
def test_every_item_for_every_candidate_is_the_example_host_s_report(number, item):
    args, stdin = item_args(*item)
    dirs = [EXAM / c for c in CANDIDATES]
    status, out, _ = run(*args, *dirs, stdin=stdin)
    blocks = out.split("\n" + str(EXAM) + "/")
    assert len(blocks) == len(CANDIDATES)
    for candidate, block in zip(CANDIDATES, blocks):
        assert block.splitlines()[1:] == REPORT[(candidate, number)], candidate
    held = [re.search(r"(ParseRule|GetRuleItem) +False|ParseRules +-1", "\n".join(REPORT[(c, number)])) is None
            for c in CANDIDATES]
    assert status == (0 if all(held) else 1)

    # JSON: one object per directory, the same keys for each, the same lists and answers.
    status_json, out, _ = run(*args, "--json", *dirs, stdin=stdin)
    objects = [json.loads(line) for line in out.splitlines()]
    assert status_json == status and len({tuple(o) for o in objects}) == 1
    for o, block in zip(objects, blocks):
        listed = [m.group(1) for l in block.splitlines() if (m := re.match(r"      \d+  (.*)", l))]
        names = o.get("ping_rules", o.get("file_names"))
        assert [n.replace("\r\n", "↵") for n in names] == listed
        answer = o.get("parse_rule", o.get("get_rule_item", o.get("parse_rules")))
        assert str(answer) in block and o["error"] is None


@pytest.mark.parametrize("args", [
    [], ["bogus"], ["expand", "--rule", "K|a|1|m", "dir"], ["expand", "--file"], ["sheets"],
    ["sheets", "--rule", "x", "f.xls"], ["files", "--file", "a", "dir"], ["files", "--frob", "dir"]])
def test_bad_usage_is_status_2_with_a_reason(args):
    status, out, err = run(*args)
    assert (status, out) == (2, "") and "vexmar --help" in err


def test_help_has_examples_and_the_exit_statuses():
    status, out, _ = run("--help")
    assert status == 0 and "examples:" in out and "3  a file" in out


def test_unreadable_and_non_workbook_files_are_status_3(tmp_path):
    files = ["/nonexistent/成绩表.xls", EXAM / "006-周八/成绩表.xls", EXAM / "001-张三/说明.txt",
             EXAM / "001-张三/统计.xlsx"]
    status, out, _ = run("sheets", "--json", *files)
    got = [json.loads(line) for line in out.splitlines()]
    assert status == 3
    assert [(o["error"] or {}).get("number") for o in got] == [75, 1004, None, None]
    assert [o["worksheets"] for o in got[2:]] == [None, ["一月", "二月", "三月", "图表数据", "备注"]]
    assert run("sheets", EXAM / "001-张三/统计.xlsx")[0] == 0


def test_non_utf8_names_as_the_python_module_gives_them(tmp_path):
    shutil.copy(SOURCE_DIR / EXAM / "001-张三/统计.xlsx", os.fsencode(tmp_path) + b"/\xff\xfe.xlsx")
    status, out, _ = run("files", "--json", "--rule", "W|*.xlsx|2|m", tmp_path)
    assert status == 0 and json.loads(out)["file_names"] == ["\udcff\udcfe.xlsx"]
    status, out, _ = run("sheets", os.fsencode(tmp_path) + b"/\xff\xfe.xlsx")
    assert status == 0 and out.splitlines()[0].endswith("/\\xFF\\xFE.xlsx") and "一月" in out


def test_host_guide_session(tmp_path):
    """The tool's session in docs/host-guide.md, run as written."""
    guide = (SOURCE_DIR / "docs" / "host-guide.md").read_text("utf-8")
    session = re.search(r"```console\n(\$ vexmar .*?)```", guide, re.S).group(1)
    (tmp_path / "vexmar").symlink_to(TOOL)
    env = dict(os.environ, PATH="%s:%s" % (tmp_path, os.environ["PATH"]))
    for command, expected in re.findall(r"^\$ (.*)\n((?:(?!\$ ).*\n)*)", session, re.M):
        shell = "%s; echo $? > %s/status" % (command, tmp_path) if "echo $?" not in command else (
            "cat %s/status" % tmp_path)
        out = subprocess.run(["bash", "-c", shell], cwd=SOURCE_DIR, env=env, capture_output=True).stdout
        assert out.decode("utf-8") == expected, command
