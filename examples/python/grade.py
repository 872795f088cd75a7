#!/usr/bin/python3
"""The example grading host in Python: the C++ host's twin, line for line.

    grade.py [--no-timing] [--progress | --no-progress] [--items FILE]
             [--jobs N] [--shard K/N] [EXAM_DIR]

Runs every item of EXAM_DIR/items.txt (the item-file format of docs/host-guide.md) for
every candidate directory of EXAM_DIR (default: the sample exam) through the vexmar
module, as a pywin32 host would through win32com.client.Dispatch, and prints what the
library produced. Candidates are graded by N threads (default: the number of cores);
the library lets go of the interpreter lock while it reads files, so they run in
parallel. --shard K/N grades only the K-th of N consecutive slices of the candidates.
"""
import argparse
import concurrent.futures
import os
import sys
import time

try:
    import vexmar
except ImportError:  # not installed: the module of a build in this source tree
    _root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    sys.path[:0] = [os.path.join(_root, "build", preset, "python") for preset in ("release", "debug")]
    import vexmar

ITEM_FILE_NAME = "items.txt"
MAX_ITEM_FILE_BYTES = 16 << 20
MAX_SHARDS = 1_000_000
PROGRESS_CANDIDATE_THRESHOLD = 20
LABEL_WIDTH = 20
PROGRAM = "grade.py"


class ExamError(Exception):
    pass


# ---- the item file ----

class Item:
    def __init__(self, kind, line):
        self.kind = kind          # "sheet", "naming", "multifile"
        self.file_name = ""       # file= of a sheet item
        self.rule = ""            # lines joined with CR LF
        self.line = line


def decode_line(raw, number):
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        raise ExamError("line %d: the text is not UTF-8" % number) from None


def is_blank(line):
    return line.strip(b" \t") == b""


def parse_header(line, number):
    start = len(line) - len(line.lstrip(b" \t"))
    close = line.find(b"]")
    if start == len(line) or line[start:start + 1] != b"[" or close < 0:
        raise ExamError("line %d: expected an item header: [sheet] file=NAME, [naming] or [multifile]" % number)
    kind = line[start + 1:close]
    if kind not in (b"sheet", b"naming", b"multifile"):
        raise ExamError("line %d: unknown item kind [%s]" % (number, kind.decode("utf-8", "replace")))
    item = Item(kind.decode(), number)
    has_file = False
    rest = line[close + 1:]
    while True:
        rest = rest.lstrip(b" \t")
        if not rest:
            break
        equals = rest.find(b"=")
        gaps = [g for g in (rest.find(b" "), rest.find(b"\t")) if g >= 0]
        gap = min(gaps) if gaps else len(rest)
        if equals <= 0 or equals > gap:
            raise ExamError("line %d: expected key=value after the item kind" % number)
        key = rest[:equals]
        rest = rest[equals + 1:]
        if rest.startswith(b'"'):
            quote = rest.find(b'"', 1)
            if quote < 0:
                raise ExamError("line %d: unterminated quoted value" % number)
            value, rest = rest[1:quote], rest[quote + 1:]
        else:
            ends = [g for g in (rest.find(b" "), rest.find(b"\t")) if g >= 0]
            end = min(ends) if ends else len(rest)
            value, rest = rest[:end], rest[end:]
        if key != b"file" or item.kind != "sheet":
            raise ExamError("line %d: unknown attribute %s for [%s]"
                            % (number, key.decode("utf-8", "replace"), item.kind))
        if has_file:
            raise ExamError("line %d: file= given twice" % number)
        item.file_name = decode_line(value, number)
        has_file = True
    if item.kind == "sheet" and not has_file:
        raise ExamError("line %d: a [sheet] item needs file=, the name of the candidate's workbook" % number)
    return item


def parse_item_file(content):
    if content.startswith(b"\xef\xbb\xbf"):
        content = content[3:]
    lines = content.split(b"\n") if content else []
    if lines and lines[-1] == b"" and content.endswith(b"\n"):
        lines.pop()
    lines = [l[:-1] if l.endswith(b"\r") else l for l in lines]
    items, current, rule_lines, rule_start = [], None, [], 0

    def finish():
        if current is not None:
            while rule_lines and is_blank(rule_lines[-1]):
                rule_lines.pop()
            current.rule = "\r\n".join(decode_line(l, rule_start + i) for i, l in enumerate(rule_lines))
            items.append(current)

    for number, line in enumerate(lines, 1):
        if line == b"---":
            finish()
            current, rule_lines = None, []
        elif current is not None:
            rule_lines.append(line)
        elif not is_blank(line) and not line.lstrip(b" \t").startswith(b";"):
            current = parse_header(line, number)
            rule_start = number + 1
        else:
            decode_line(line, number)  # comments must be UTF-8 too
    finish()
    return items


# ---- the exam directory ----

class Candidate:
    def __init__(self, name, test_path):
        self.name = name
        self.test_path = test_path


def load_items(path):
    try:
        size = os.path.getsize(path)
    except OSError as e:
        raise ExamError("cannot read the item file %s: %s" % (path, e.strerror)) from None
    if size > MAX_ITEM_FILE_BYTES:
        raise ExamError("the item file %s is too large" % path)
    try:
        with open(path, "rb") as f:
            content = f.read()
    except OSError:
        raise ExamError("cannot read the item file %s" % path) from None
    try:
        items = parse_item_file(content)
    except ExamError as e:
        raise ExamError("%s, %s" % (path, e)) from None
    if not items:
        raise ExamError("%s: no items" % path)
    return items


def load_exam(directory, item_file):
    if not os.path.isdir(directory):
        raise ExamError("%s is not an exam directory" % directory)
    items = load_items(item_file)
    names, skipped = [], []
    try:
        entries = list(os.scandir(directory))
    except OSError as e:
        raise ExamError("cannot list %s: %s" % (directory, e.strerror)) from None
    for entry in entries:
        try:
            if not entry.is_dir():
                continue
        except OSError:
            continue
        if entry.name.startswith("."):
            continue
        if "\\" in entry.name:  # the library reads "\" in a path as a separator
            skipped.append((entry.name, 'a "\\" in the name cannot stand in a test path'))
            continue
        names.append(entry.name)
    prefix = directory if directory.endswith("/") else directory + "/"
    candidates = [Candidate(n, prefix + n) for n in vexmar.sorted_in_listing_order(names)]
    return items, candidates, sorted(skipped, key=lambda s: (utf16(s[0]), s[1]))


def utf16(text):
    return text.encode("utf-16-be", "surrogatepass")


# ---- report text ----

def shown(text):
    """Text as one printable UTF-8 line, as the C++ host shows it."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        o = ord(c)
        if c == "\r" and text[i + 1:i + 2] == "\n":
            out.append("\u21b5")
            i += 1
        elif c == "\r":
            out.append("\\r")
        elif c == "\n":
            out.append("\\n")
        elif c == "\t":
            out.append("\\t")
        elif o < 0x20 or o == 0x7F:
            out.append("\\x%02X" % o)
        elif 0xD800 <= o <= 0xDBFF and i + 1 < len(text) and 0xDC00 <= ord(text[i + 1]) <= 0xDFFF:
            out.append(chr(0x10000 + ((o - 0xD800) << 10) + (ord(text[i + 1]) - 0xDC00)))
            i += 1
        elif 0xDC80 <= o <= 0xDCFF:
            out.append("\\x%02X" % (o - 0xDC00))
        elif 0xD800 <= o <= 0xDFFF:
            out.append("\\u{%04X}" % o)
        else:
            out.append(c)
        i += 1
    return "".join(out)


def float32_text(value):
    """A float32 as an Automation host writes it: up to seven significant digits."""
    if value != value:
        return "NaN"
    if value in (float("inf"), float("-inf")):
        return "Infinity" if value > 0 else "-Infinity"
    if value == 0:
        return "0"
    return "%.7G" % value


def text(value):
    """A value as the host prints it: numbers and booleans converted to text."""
    if isinstance(value, bool):
        return "True" if value else "False"
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        return float32_text(value)
    return shown(value if value is not None else "")


def line(out, label, value):
    out.append("    " + label.ljust(LABEL_WIDTH) + value + "\n")


def item_title(item, number):
    title = "item %d [%s]" % (number, item.kind)
    return title + " " + shown(item.file_name) if item.kind == "sheet" else title


# ---- grading, by late binding ----

def list_collection(out, label, collection):
    if collection is None:
        line(out, label, "Nothing")
        return
    count = collection.Count
    line(out, label, str(count))
    for i in range(1, count + 1):
        out.append("      %d  " % i)
        out.append(text(collection.Item(i)) + "\n")


def grade_sheet(item, candidate, out):
    sheets = vexmar.Dispatch("VexmarExt.ClsExcelMultiSheets")
    sheets.Rule = item.rule
    sheets.TestPath = candidate.test_path
    sheets.FileName = item.file_name
    parsed, message = sheets.ParseRule("")
    line(out, "ParseRule", "True" if parsed else "False")
    if not parsed:
        line(out, "strErrMsg", text(message))
    line(out, "Weight", text(sheets.Weight))
    line(out, "ErrMsg", text(sheets.ErrMsg))
    list_collection(out, "PingRules", sheets.PingRules)
    return "done" if parsed else "refused"


def grade_naming(item, candidate, out):
    names = vexmar.Dispatch("VexmarExt.ClsRepeatName")
    usable, message, weight = names.GetRuleItem(item.rule, "", 0.0)
    line(out, "GetRuleItem", "True" if usable else "False")
    line(out, "strErrMsg", text(message))
    line(out, "sngWeight", text(weight))
    count, files = names.GetFileNames(item.rule, None, candidate.test_path)
    line(out, "GetFileNames", text(count))
    if files is None:  # an absent list has no bounds
        raise vexmar.Error(9, "下标越界")
    for i in range(1, len(files)):
        out.append("      %d  %s\n" % (i, shown(files[i])))
        out.append("         ChangeRuleFileName  ")
        out.append(text(names.ChangeRuleFileName(item.rule, files[i])) + "\n")
    return "done" if usable else "refused"


def grade_multifile(item, candidate, out):
    files = vexmar.Dispatch("VexmarExt.ClsExcelMultiFiles")
    files.Rules = item.rule
    files.TestPath = candidate.test_path
    count = files.ParseRules()
    line(out, "ParseRules", str(count))
    list_collection(out, "FilesName", files.FilesName)
    return "done" if count >= 0 else "refused"


GRADERS = {"sheet": grade_sheet, "naming": grade_naming, "multifile": grade_multifile}


def grade_item(item, candidate, out):
    try:
        return GRADERS[item.kind](item, candidate, out)
    except vexmar.Error as e:
        line(out, "error", "%d (0x%08X) %s" % (e.number, e.hresult & 0xFFFFFFFF, shown(e.description)))
        return "error"


def grade_candidate(items, candidate):
    out = ["\ncandidate %s  (TestPath %s)\n" % (shown(candidate.name), shown(candidate.test_path))]
    outcomes, times = [], []
    for number, item in enumerate(items, 1):
        start = time.perf_counter()
        out.append("  " + item_title(item, number) + "\n")
        outcomes.append(grade_item(item, candidate, out))
        times.append(time.perf_counter() - start)
    return "".join(out), outcomes, times


# ---- the run ----

def shard_range(index, count, total):
    def boundary(k):
        return total // count * k + total % count * k // count
    return boundary(index - 1), boundary(index)


class Progress:
    def __init__(self, enabled, terminal):
        self.enabled, self.terminal = enabled, terminal

    def show(self, done, total, name):
        if not self.enabled:
            return
        message = "[%d/%d] %s" % (done, total, shown(name))
        sys.stderr.write("\r%s\x1b[K" % message if self.terminal else message + "\n")
        sys.stderr.flush()

    def clear(self):
        if self.enabled and self.terminal:
            sys.stderr.write("\r\x1b[K")
            sys.stderr.flush()


def milliseconds(seconds):
    return "%.3f ms" % (seconds * 1000)


def run(options, report):
    exam_dir = options.exam
    item_file = options.items or os.path.join(exam_dir, ITEM_FILE_NAME)
    try:
        items, candidates, skipped = load_exam(exam_dir, item_file)
    except ExamError as e:
        print("%s: %s" % (PROGRAM, e), file=sys.stderr)
        return 2
    index, count = options.shard
    first, last = shard_range(index, count, len(candidates))

    report.write("VexmarExt example host\n"
                 "exam        %s\nitem file   %s\nitems       %d\ncandidates  %d\n"
                 % (exam_dir, item_file, len(items), len(candidates)))
    if count > 1:
        report.write("shard       %d/%d: %s\n" % (index, count, "candidates %d-%d" % (first + 1, last)
                                                  if first < last else "no candidates"))
    for name, reason in skipped:
        report.write("skipped     %s: %s\n" % (shown(name), reason))
    report.write("\nitems\n")
    for number, item in enumerate(items, 1):
        report.write("  %s\n    rule  %s\n" % (item_title(item, number), shown(item.rule)))

    mine = candidates[first:last]
    stderr_terminal = sys.stderr.isatty()
    wanted = {"on": True, "off": False}.get(options.progress)
    if wanted is None:
        wanted = len(mine) > PROGRESS_CANDIDATE_THRESHOLD or (stderr_terminal and not report.isatty())
    progress = Progress(wanted, stderr_terminal)

    tally = {"done": 0, "refused": 0, "error": 0}
    item_time = [0.0] * len(items)
    start = time.perf_counter()
    with concurrent.futures.ThreadPoolExecutor(max_workers=options.jobs) as pool:
        # map hands the results back in candidate order, whatever the thread that made them.
        graded = pool.map(lambda c: grade_candidate(items, c), mine)
        for done, (candidate, (section, outcomes, times)) in enumerate(zip(mine, graded), 1):
            progress.show(done, len(mine), candidate.name)
            for i, outcome in enumerate(outcomes):
                tally[outcome] += 1
                item_time[i] += times[i]
            progress.clear()
            report.write(section)
            report.flush()
    total = time.perf_counter() - start

    runs = len(items) * len(mine)
    report.write("\nsummary\n  candidates  %d\n  items       %d\n"
                 "  item runs   %d: %d done, %d answered false or -1, %d failed with an error\n"
                 % (len(mine), len(items), runs, tally["done"], tally["refused"], tally["error"]))
    if options.timing and mine:
        report.write("  time        %s in all, %s per item run\n" % (milliseconds(total), milliseconds(total / runs)))
        report.write("  rate        %.1f candidates/s with %d jobs\n" % (len(mine) / total if total else 0.0, options.jobs))
        for number, item in enumerate(items, 1):
            report.write("    %s: %s per candidate\n" % (item_title(item, number), milliseconds(item_time[number - 1] / len(mine))))
    return 0


def positive(text):
    value = int(text)
    if value < 1:
        raise ValueError(text)
    return value


def shard(text):
    index, _, count = text.partition("/")
    index, count = int(index), int(count)
    if not 1 <= index <= count <= MAX_SHARDS:
        raise ValueError(text)
    return index, count


def parse_arguments(argv):
    parser = argparse.ArgumentParser(prog=PROGRAM, description=__doc__.split("\n\n")[2],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--no-timing", dest="timing", action="store_false",
                        help="leave the times out of the summary")
    parser.add_argument("--progress", dest="progress", action="store_const", const="on")
    parser.add_argument("--no-progress", dest="progress", action="store_const", const="off")
    parser.add_argument("--items", metavar="FILE", help="the item file (default: EXAM_DIR/items.txt)")
    parser.add_argument("--jobs", metavar="N", type=positive, default=os.cpu_count() or 1,
                        help="grade candidates with N threads (default: the number of cores)")
    parser.add_argument("--shard", metavar="K/N", type=shard, default=(1, 1),
                        help="grade only the K-th of N consecutive slices of the candidates")
    parser.add_argument("exam", metavar="EXAM_DIR", nargs="?",
                        default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sample-exam"))
    return parser.parse_args(argv)


def main(argv=None):
    options = parse_arguments(argv)
    # The report is UTF-8 whatever the locale; exam paths keep their bytes.
    report = open(sys.stdout.fileno(), "w", encoding="utf-8", errors="surrogateescape", closefd=False)
    try:
        return run(options, report)
    finally:
        report.flush()


if __name__ == "__main__":
    sys.exit(main())
