// VexmarExt from JScript, which passes every argument by value: every member of every
// class can be called and gives its result, errors arrive as exceptions with the
// Automation number and the Chinese description, collections enumerate.
//
// cscript suite.js <work directory> <log file>; kept in UTF-8 and handed to cscript in
// code page 936; results go to a UTF-16 log, the console gets only the closing count.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var log = fso.CreateTextFile(WScript.Arguments(1), true, true);
var work = WScript.Arguments(0);
var namesDir = work + "\\names";
var sheetsDir = work + "\\sheets";
var passed = 0, failed = 0;

function report(ok, name, detail) {
  if (ok) { passed++; log.WriteLine("ok - " + name); }
  else { failed++; log.WriteLine("not ok - " + name + ": " + detail); }
}
function check(name, got, expected) {
  report(got === expected, name, "got [" + got + "] (" + typeof got + "), expected [" + expected + "]");
}
// Runs f, which must throw the Automation error `number` with `description`.
function checkThrows(name, number, description, f) {
  try {
    f();
    report(false, name, "no error");
  } catch (e) {
    report((e.number & 0xFFFF) === number && e.description === description, name,
           "got error " + (e.number & 0xFFFF) + " [" + e.description + "]");
  }
}
// Runs f; an error is a failed check, not the end of the suite.
function run(name, f) {
  try { f(); } catch (e) { report(false, name, "error " + (e.number & 0xFFFF) + " " + e.description); }
}
function items(coll) {
  var out = "";
  for (var en = new Enumerator(coll); !en.atEnd(); en.moveNext()) out += "<" + en.item() + ">";
  return out;
}
var CRLF = "\r\n";

run("ClsScoreState", function () {
  var s = new ActiveXObject("VexmarExt.ClsScoreState");
  check("ScoreState new CurScore", s.CurScore, 0);
  s.CurScore = 1.5; s.TotalScore = 10; s.ErrMsg = "错误信息"; s.ErrMsgXml = "<e/>";
  check("ScoreState CurScore", s.CurScore, 1.5);
  check("ScoreState TotalScore", s.TotalScore, 10);
  check("ScoreState ErrMsg", s.ErrMsg, "错误信息");
  check("ScoreState ErrMsgXml", s.ErrMsgXml, "<e/>");
});

run("ClsPatternMatchStr", function () {
  var m = new ActiveXObject("VexmarExt.ClsPatternMatchStr");
  check("MatchString with values", m.MatchString("hello world", "w*d", 1, 0), 7);
  check("MatchString with the length omitted as undefined", m.MatchString("abc", "c", 1, undefined), 3);
  checkThrows("MatchString start 0", 5, "无效的过程调用或参数", function () {
    m.MatchString("abc", "b", 0, 0);
  });
  var threw = false;
  try { m.MatchString("abc"); } catch (e) { threw = true; }
  check("MatchString with too few arguments throws", threw, true);
  new ActiveXObject("VexmarExt.ClsTest").Test();
  check("ClsTest.Test", true, true);
});

run("ClsRepeatName", function () {
  var o = new ActiveXObject("VexmarExt.ClsRepeatName");
  check("GetFileNames with null for the list", o.GetFileNames("K|*.xls|5|m", null, namesDir), 2);
  check("GetFileNames with an omitted list", o.GetFileNames("K|a#b#c|5|m", undefined, namesDir), 3);
  var mismatch = 0;
  try { o.GetFileNames("K|a|5|m", [1, 2], namesDir); } catch (e) { mismatch = e.number >>> 0; }
  check("GetFileNames with a JScript array is a type mismatch", mismatch, 0x80020005);
  check("GetRuleItem", o.GetRuleItem("K|a.xls|2.5|m", "", 0), true);
  check("GetRuleItem not numeric", o.GetRuleItem("K|a.xls|x|m", "", 0), false);
  checkThrows("GetRuleItem overflow", 6, "溢出", function () {
    o.GetRuleItem("K|a.xls|1e40|m", "", 0);
  });
  check("ChangeRuleFileName", o.ChangeRuleFileName("K|*.xls|5|m", "b.xls"), "K|b.xls|5|m");
});

run("ClsExcelMultiFiles", function () {
  var o = new ActiveXObject("VexmarExt.ClsExcelMultiFiles");
  o.Rules = "#FILE" + CRLF + "*.xls#z.xls";
  o.TestPath = namesDir;
  check("Rules", o.Rules, "#FILE" + CRLF + "*.xls#z.xls");
  check("TestPath", o.TestPath, namesDir);
  check("ParseRules", o.ParseRules(), 3);
  var c = o.FilesName;
  check("FilesName enumerated", items(c), "<a.xls><B.XLS><z.xls>");
  check("Item(2)", c.Item(2), "B.XLS");
  check("the default member", c(1), "a.xls");
  check("Count", c.Count, 3);
  checkThrows("Item(0)", 9, "下标越界", function () { c.Item(0); });
  c.Add("y.xls");
  c.Remove(1);
  check("Add and Remove", items(c), "<B.XLS><z.xls><y.xls>");
  var other = new ActiveXObject("VexmarExt.ClsExcelMultiFiles");
  other.FilesName = c;  // JScript has no Set: a plain write stores the reference
  c.Add("x.xls");
  check("a written collection is shared", other.FilesName.Count, 4);
  o.Rules = "#FILE";
  check("ParseRules not a multi-file rule", o.ParseRules(), -1);
  check("the collection read before keeps its names", c.Count, 4);
});

run("ClsExcelMultiSheets", function () {
  var s = new ActiveXObject("VexmarExt.ClsExcelMultiSheets");
  check("new PingRules", s.PingRules, null);
  s.Rule = "K|Sheet1#Sheet2|2.5|m";
  check("Rule", s.Rule, "K|Sheet1#Sheet2|2.5|m");
  check("ParseRule with a value for the message", s.ParseRule(""), true);
  check("Weight", s.Weight, 2.5);
  check("ErrMsg", s.ErrMsg, "m");
  check("PingRules", items(s.PingRules), "<K|Sheet1|2.5|m><K|Sheet2|2.5|m>");
  s.Rule = "K|S*|5|m";
  s.TestPath = sheetsDir;
  s.FileName = "book.xls";
  check("FileName", s.FileName, "book.xls");
  check("ParseRule with the stand-in application", s.ParseRule(""), true);
  check("PingRules from the workbook", items(s.PingRules), "<K|Sheet1|5|m><K|MySheet2|5|m>");
  s.FileName = "absent.xls";
  check("ParseRule without the workbook", s.ParseRule(""), false);
  s.Weight = 4;
  s.ErrMsg = "e";
  check("Weight written", s.Weight, 4);
  check("ErrMsg written", s.ErrMsg, "e");
  var f = new ActiveXObject("VexmarExt.ClsExcelMultiFiles");
  s.PingRules = f.FilesName;
  check("PingRules written", s.PingRules.Count, 0);
  s.PingRules = null;
  check("PingRules set to null", s.PingRules, null);
});

// Many calls with errors in between, as a long grading run makes them.
run("repeated calls", function () {
  var m = new ActiveXObject("VexmarExt.ClsPatternMatchStr");
  var o = new ActiveXObject("VexmarExt.ClsRepeatName");
  var ok = true;
  for (var i = 0; i < 200; i++) {
    try { m.MatchString("abc", "b", 0, 0); ok = false; } catch (e) { ok = ok && (e.number & 0xFFFF) === 5; }
    ok = ok && o.GetFileNames("K|*.xls|5|m", null, namesDir) === 2;
    ok = ok && new ActiveXObject("VexmarExt.ClsExcelMultiFiles").FilesName.Count === 0;
  }
  check("200 rounds of errors, lists and collections", ok, true);
});

log.Close();
WScript.Echo("jscript: " + passed + " passed, " + failed + " failed");
WScript.Quit(failed > 0 ? 1 : 0);
