"""The example hosts: the Python host's report is the C++ host's, and the candidates'
part of a report does not depend on --jobs or --shard."""
import os
import re
import subprocess
import sys

import pytest

from conftest import SOURCE_DIR

GRADE_PY = SOURCE_DIR / "examples" / "python" / "grade.py"
EXAM = "examples/sample-exam"  # relative, as scripts/demo gives it
HOSTS = {
    "c++": [os.environ.get("VEXMAR_DEMO", "")],
    "python": [sys.executable, str(GRADE_PY)],
}


def report(host, *options):
    if not HOSTS[host][0]:
        pytest.skip("VEXMAR_DEMO names no C++ host")
    run = subprocess.run(HOSTS[host] + ["--no-progress", *options, EXAM], cwd=SOURCE_DIR,
                         capture_output=True, check=True)
    return run.stdout.decode("utf-8")


def candidates_part(text):
    """The candidates' sections: from the first one (if any) to the summary."""
    end = text.index("\nsummary\n")
    start = text.find("\ncandidate ", 0, end)
    return text[start:end] if start >= 0 else ""


def test_python_report_is_the_cpp_report_line_for_line():
    assert report("python", "--no-timing") == report("c++", "--no-timing")
    expected = (SOURCE_DIR / "tests" / "examples" / "sample-exam-report.txt").read_text("utf-8")
    assert report("python", "--no-timing") == expected


def test_reports_differ_only_in_summary_timings():
    strip = lambda text: re.sub(r"(?m)^  (time|rate) .*\n|^    item .*per candidate\n", "", text)
    assert strip(report("python", "--jobs", "2")) == strip(report("c++", "--jobs", "2"))


@pytest.mark.parametrize("host", HOSTS)
@pytest.mark.parametrize("jobs,shards", [(1, 1), (3, 1), (2, 4), (1, 7)])
def test_candidates_part_whatever_jobs_and_shards(host, jobs, shards):
    whole = candidates_part(report(host, "--no-timing", "--jobs", "1"))
    parts = [candidates_part(report(host, "--no-timing", "--jobs", str(jobs), "--shard", "%d/%d" % (k, shards)))
             for k in range(1, shards + 1)]
    assert "".join(parts) == whole


@pytest.mark.parametrize("host", HOSTS)
@pytest.mark.parametrize("option", [["--jobs", "0"], ["--shard", "0/2"], ["--shard", "3/2"], ["--shard", "x"]])
def test_bad_options_are_refused(host, option):
    if not HOSTS[host][0]:
        pytest.skip("VEXMAR_DEMO names no C++ host")
    run = subprocess.run(HOSTS[host] + option + [EXAM], cwd=SOURCE_DIR, capture_output=True)
    assert run.returncode == 2 and run.stdout == b""
