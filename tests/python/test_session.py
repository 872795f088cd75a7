"""The example Python session of docs/host-guide.md, run as written."""
import doctest
import os
import re

from conftest import SOURCE_DIR


def test_host_guide_session(monkeypatch):
    guide = (SOURCE_DIR / "docs" / "host-guide.md").read_text("utf-8")
    sessions = re.findall(r"```pycon\n(.*?)```", guide, re.S)
    assert sessions
    monkeypatch.chdir(SOURCE_DIR)
    parser, runner = doctest.DocTestParser(), doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    for number, text in enumerate(sessions):
        runner.run(parser.get_doctest(text, {}, "host-guide session %d" % number, "host-guide.md", 0))
    failed, attempted = runner.summarize(verbose=False)
    assert attempted > 0 and failed == 0
