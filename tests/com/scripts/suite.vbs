' VexmarExt through a script host (cscript), as grading hosts use it: every member of
' every class, the by-reference values VBScript passes, errors with their number and
' Chinese description, collections, and the worksheet check driven through the
' stand-in spreadsheet application.
'
' cscript suite.vbs <work directory> <log file>
' The work directory holds names\ and sheets\ as the test command lays them out. The
' file is kept in UTF-8 and handed to cscript in code page 936. Results go to a UTF-16
' log, as cscript cannot print Chinese text through a pipe; the console gets only the
' closing count.
Option Explicit

Dim fso, logFile, passed, failed, work, namesDir, sheetsDir, ctl
Set fso = CreateObject("Scripting.FileSystemObject")
Set logFile = fso.CreateTextFile(WScript.Arguments(1), True, True)
work = WScript.Arguments(0)
namesDir = work & "\names"
sheetsDir = work & "\sheets"
passed = 0
failed = 0

Sub Report(ok, name, detail)
  If ok Then
    passed = passed + 1
    logFile.WriteLine "ok - " & name
  Else
    failed = failed + 1
    logFile.WriteLine "not ok - " & name & ": " & detail
  End If
End Sub

Sub Check(name, got, expected)
  Report TypeName(got) = TypeName(expected) And got = expected, name, _
         "got [" & got & "] (" & TypeName(got) & "), expected [" & expected & "] (" & TypeName(expected) & ")"
End Sub

Sub CheckError(name, number, description)
  Report Err.Number = number And Err.Description = description, name, _
         "got error " & Err.Number & " [" & Err.Description & "], expected " & number & " [" & description & "]"
End Sub

Function CrLf(a, b)
  CrLf = a & vbCrLf & b
End Function

Function ItemsOf(coll)
  Dim x, s
  s = ""
  For Each x In coll
    s = s & "<" & x & ">"
  Next
  ItemsOf = s
End Function

Function ListOf(arr)
  Dim i, s
  s = ""
  For i = LBound(arr) To UBound(arr)
    s = s & "<" & arr(i) & ">"
  Next
  ListOf = s
End Function

' ---- ClsScoreState ----
Sub ScoreState()
  On Error Resume Next
  Dim s, t
  Set s = CreateObject("VexmarExt.ClsScoreState")
  Check "ScoreState new CurScore", s.CurScore, CSng(0)
  Check "ScoreState new TotalScore", s.TotalScore, CSng(0)
  Check "ScoreState new ErrMsg", s.ErrMsg, ""
  Check "ScoreState new ErrMsgXml", s.ErrMsgXml, ""
  s.CurScore = 1.5
  s.TotalScore = 10
  s.ErrMsg = "评分过程中错误信息"
  s.ErrMsgXml = "<e>错误</e>"
  Check "ScoreState CurScore", s.CurScore, CSng(1.5)
  Check "ScoreState TotalScore", s.TotalScore, CSng(10)
  Check "ScoreState ErrMsg keeps Chinese text", s.ErrMsg, "评分过程中错误信息"
  Check "ScoreState ErrMsgXml", s.ErrMsgXml, "<e>错误</e>"
  Set t = CreateObject("VexmarExt.ClsScoreState")
  Check "ScoreState second object independent", t.ErrMsg, ""
  s.CurScore = "2.25"
  Check "ScoreState number given as text", s.CurScore, CSng(2.25)
  Check "ScoreState no error", Err.Number, CLng(0)
End Sub

' ---- ClsPatternMatchStr, ClsTest ----
Sub Matcher()
  On Error Resume Next
  Dim m, n, r, cases, c
  Set m = CreateObject("VexmarExt.ClsPatternMatchStr")
  ' source, pattern, start, position, length
  cases = Array( _
    Array("hello world", "w*d", 1, 7, 5), _
    Array("abc", "B", 1, 2, 1), _
    Array("abc", "x", 1, 0, 0), _
    Array("", "a", 1, -1, 0), _
    Array("Sheet1", "sheet?", 1, 1, 6))
  For Each c In cases
    n = 99
    r = m.MatchString(c(0), c(1), c(2), n)
    Check "MatchString(" & c(0) & "," & c(1) & ") position", r, CLng(c(3))
    Check "MatchString(" & c(0) & "," & c(1) & ") length by reference", n, CLng(c(4))
  Next
  n = 7
  r = m.MatchString("abc", "b", 0, n)
  CheckError "MatchString start 0", 5, "无效的过程调用或参数"
  Check "MatchString length written before the error", n, CLng(0)
  Err.Clear
  r = m.MatchString("hello", "l*", 1, (n))
  Check "MatchString with the length in parentheses (by value)", r, CLng(3)
  Err.Clear
  Dim t
  Set t = CreateObject("VexmarExt.ClsTest")
  t.Test
  Check "ClsTest.Test runs", Err.Number, CLng(0)
End Sub

' ---- ClsRepeatName ----
Sub RepeatName()
  On Error Resume Next
  Dim o, a, n, msg, w, f(1), ten(9)
  Set o = CreateObject("VexmarExt.ClsRepeatName")
  n = o.GetFileNames("K|a.xls#b.xls|5|m", a, "C:\nowhere")
  Check "GetFileNames plain names", n, CLng(2)
  Check "GetFileNames list", ListOf(a), "<><a.xls><b.xls>"
  Check "GetFileNames list type", TypeName(a), "Variant()"
  n = o.GetFileNames("K|*.xls|5|m", a, namesDir)
  Check "GetFileNames pattern: ordinary files only", ListOf(a), "<><a.xls><B.XLS>"
  n = o.GetFileNames("K|*.xls|5|m", a, namesDir & "\")
  Check "GetFileNames directory with trailing backslash", n, CLng(2)
  n = o.GetFileNames("K|a.xls#*.xls|5|m", a, namesDir)
  Check "GetFileNames pattern skips a listed name", ListOf(a), "<><a.xls><B.XLS>"
  n = o.GetFileNames("K|*.xls#a.xls|5|m", a, namesDir)
  Check "GetFileNames plain item after match", ListOf(a), "<><a.xls><B.XLS><a.xls>"
  n = o.GetFileNames("K|*.XLS|5|m", a, namesDir & "\missing")
  Check "GetFileNames missing directory", ListOf(a), "<>"
  n = o.GetFileNames("K|book.xls?|5|m", a, namesDir)
  Check "GetFileNames long name only", ListOf(a), "<><book.xlsx>"
  a = ten
  n = o.GetFileNames("K|x.xls|5|m", a, namesDir)
  Check "GetFileNames replaces a list of ten", ListOf(a), "<><x.xls>"
  Err.Clear
  n = o.GetFileNames("K|*.xls|5|m", f, namesDir)
  Report Err.Number = 10 And InStr(Err.Description, "strFileNames") > 0, _
         "GetFileNames refuses a fixed array", Err.Number & " " & Err.Description
  Check "the fixed array stays", UBound(f), CLng(1)
  Err.Clear
  Check "GetFileNames with the list in parentheses", o.GetFileNames("K|a|5|m", (a), namesDir), CLng(1)

  msg = "old"
  w = 1
  Check "GetRuleItem", o.GetRuleItem("K|a.xls|2.5|消息", msg, w), True
  Check "GetRuleItem message by reference", msg, "消息"
  Check "GetRuleItem weight by reference", w, CSng(2.5)
  msg = "old"
  w = 1
  Check "GetRuleItem weight not numeric", o.GetRuleItem("K|a.xls|ten|m2", msg, w), False
  Check "GetRuleItem message set before the weight", msg, "m2"
  Check "GetRuleItem weight kept (as the single it was passed as)", w, CSng(1)
  msg = "old"
  Err.Clear
  o.GetRuleItem "K|a.xls|1e40|m3", msg, w
  CheckError "GetRuleItem weight beyond float32", 6, "溢出"
  Check "GetRuleItem message written before the error", msg, "m3"
  Err.Clear
  Check "ChangeRuleFileName", o.ChangeRuleFileName(CrLf("K|*.xls|5|m", "L2"), "a.xls"), CrLf("K|a.xls|5|m", "L2")
  Check "RepeatName no error", Err.Number, CLng(0)
End Sub

' ---- ClsExcelMultiFiles and the collection ----
Sub MultiFiles()
  On Error Resume Next
  Dim o, held, other, x
  Set o = CreateObject("VexmarExt.ClsExcelMultiFiles")
  Check "MultiFiles new FilesName is empty", o.FilesName.Count, CLng(0)
  Check "MultiFiles new Rules", o.Rules, ""
  o.Rules = CrLf("#FILE", "*.xls#z.xls")
  o.TestPath = namesDir
  Check "MultiFiles TestPath", o.TestPath, namesDir
  Check "ParseRules", o.ParseRules(), CLng(3)
  Check "FilesName enumerated", ItemsOf(o.FilesName), "<a.xls><B.XLS><z.xls>"
  Check "FilesName(1) by the default member", o.FilesName(1), "a.xls"
  Check "FilesName.Item(3)", o.FilesName.Item(3), "z.xls"
  Set held = o.FilesName
  o.Rules = "#FILE"
  Check "ParseRules without a file line", o.ParseRules, CLng(-1)
  Check "a new empty collection", o.FilesName.Count, CLng(0)
  Check "the held collection keeps its names", held.Count, CLng(3)
  x = held(4)
  CheckError "Item beyond Count", 9, "下标越界"
  Err.Clear
  x = held("a.xls")
  CheckError "Item by key", 5, "无效的过程调用或参数"
  Err.Clear
  held.Remove 1
  held.Add "w.xls"
  Check "Remove and Add", ItemsOf(held), "<B.XLS><z.xls><w.xls>"
  held.Add 42
  Check "a number added comes back as it was", held(4), 42
  Set other = CreateObject("VexmarExt.ClsExcelMultiFiles")
  Set other.FilesName = held
  Check "FilesName written refers to the same collection", other.FilesName Is held, True
  held.Add "v.xls"
  Check "a change is seen through the other object", other.FilesName.Count, CLng(5)
  Set other.FilesName = Nothing
  Check "FilesName set to Nothing", other.FilesName Is Nothing, True
  Check "MultiFiles no error", Err.Number, CLng(0)
  ForeignCollections
End Sub

' The collection properties are typed as the platform's collection: an object that is
' not one (a dictionary) is refused with error 430, and the property keeps what it held.
' (Wine's script engine has no Execute or Eval, hence the two branches.)
Sub ForeignCollections()
  On Error Resume Next
  Dim classes, c, o, mine, same
  classes = Array("ClsExcelMultiFiles", "ClsExcelMultiSheets")
  For Each c In classes
    Set o = CreateObject("VexmarExt." & c)
    Set mine = CreateObject("VexmarExt.ClsExcelMultiFiles").FilesName
    If c = "ClsExcelMultiFiles" Then
      Set o.FilesName = mine
      Set o.FilesName = CreateObject("Scripting.Dictionary")
      CheckError c & ": a dictionary is no collection", 430, Err.Description
      Err.Clear
      same = o.FilesName Is mine
    Else
      Set o.PingRules = mine
      Set o.PingRules = CreateObject("Scripting.Dictionary")
      CheckError c & ": a dictionary is no collection", 430, Err.Description
      Err.Clear
      same = o.PingRules Is mine
    End If
    Check c & ": the collection held before stays", same, True
  Next
End Sub

' ---- ClsExcelMultiSheets ----

' A worksheet check of one workbook; gives the result and leaves the message, the
' per-sheet rules and the stand-in's log in the arguments.
Function SheetCheck(rule, dir, file, msg, rules, events)
  Dim s
  ctl.StandInReset
  Set s = CreateObject("VexmarExt.ClsExcelMultiSheets")
  s.Rule = rule
  s.TestPath = dir
  s.FileName = file
  SheetCheck = s.ParseRule(msg)
  rules = ItemsOf(s.PingRules)
  Set s = Nothing
  events = ctl.StandInLog
End Function

Sub MultiSheets()
  On Error Resume Next
  Dim s, e, r, rules, events, book, opened
  Set s = CreateObject("VexmarExt.ClsExcelMultiSheets")
  Check "MultiSheets new PingRules is Nothing", s.PingRules Is Nothing, True
  Check "MultiSheets new Weight", s.Weight, CSng(0)
  s.Rule = "K|Sheet1#Sheet2#sheet1|2.5|Wrong sheets"
  s.FileName = "absent.xls"
  e = "keep"
  Check "ParseRule plain names", s.ParseRule(e), True
  Check "ParseRule leaves the message", e, "keep"
  Check "ParseRule Weight", s.Weight, CSng(2.5)
  Check "ParseRule ErrMsg", s.ErrMsg, "Wrong sheets"
  Check "PingRules", ItemsOf(s.PingRules), "<K|Sheet1|2.5|Wrong sheets><K|Sheet2|2.5|Wrong sheets>"
  s.Rule = "K|Sheet1|5"
  Check "ParseRule three fields", s.ParseRule(e), False
  Check "ParseRule three fields message", e, "约定格式错误。最少需要四项！"
  s.Rule = "K|Sheet1|ten|msg"
  Check "ParseRule weight not numeric", s.ParseRule(e), False
  Check "ParseRule weight message", e, "约定中权值设置错误，权值必须为数字！"
  s.Rule = "K|Sheet1|1E39|msg"
  Check "ParseRule weight overflow", s.ParseRule(e), False
  Check "ParseRule overflow message", e, "溢出"
  s.TestPath = "C:\exam\"
  Check "Rule read", s.Rule, "K|Sheet1|1E39|msg"
  Check "TestPath read", s.TestPath, "C:\exam\"
  Check "FileName read", s.FileName, "absent.xls"
  Dim mine
  Set mine = CreateObject("VexmarExt.ClsExcelMultiFiles").FilesName
  Set s.PingRules = mine
  Check "PingRules written", s.PingRules Is mine, True
  s.Weight = 3
  s.ErrMsg = "x"
  Check "Weight written", s.Weight, CSng(3)
  Check "ErrMsg written", s.ErrMsg, "x"
  Check "MultiSheets no error", Err.Number, CLng(0)

  Set ctl = CreateObject("Excel.Application")
  Report Err.Number = 0, "the stand-in spreadsheet application is registered", Err.Description
  If Err.Number <> 0 Then Exit Sub
  book = sheetsDir & "\book.xls"
  opened = ctl.StandInOpenWorkbooks

  e = "keep"
  r = SheetCheck("K|Sheet*#Extra|5|m", sheetsDir, "book.xls", e, rules, events)
  Check "pattern: result", r, True
  Check "pattern: message untouched", e, "keep"
  Check "pattern: per-sheet rules", rules, "<K|Sheet1|5|m><K|MySheet2|5|m><K|Extra|5|m>"
  Check "pattern: the application's calls", events, _
        "create|open " & book & " lcid=1033|close book.xls save=False lcid=1033|release"
  Check "pattern: no workbook left open", ctl.StandInOpenWorkbooks, opened
  r = SheetCheck("K|Sheet*|5|m", sheetsDir & "\", "book.xls", e, rules, events)
  Check "pattern: directory with trailing backslash", events, _
        "create|open " & book & " lcid=1033|close book.xls save=False lcid=1033|release"

  e = "keep"
  r = SheetCheck("K|S*|5|m", sheetsDir, "absent.xls", e, rules, events)
  Check "missing workbook: result", r, False
  Check "missing workbook: message", e, "文件未创建！"
  Check "missing workbook: nothing started", events, ""

  r = SheetCheck("K|S*|5|m", sheetsDir, "nothing.xls", e, rules, events)
  Check "no workbook from Open: message", e, "文件[nothing.xls]为非Xls文件。"
  Check "no workbook from Open: calls", events, _
        "create|open " & sheetsDir & "\nothing.xls lcid=1033 nothing|release"

  r = SheetCheck("K|S*|5|m", sheetsDir, "refused.xls", e, rules, events)
  Check "Open refuses: message is the application's", e, "文件已损坏，无法打开"
  Check "Open refuses: calls", events, _
        "create|open " & sheetsDir & "\refused.xls lcid=1033 refused|release"

  opened = ctl.StandInOpenWorkbooks
  r = SheetCheck("K|S*|5|m", sheetsDir, "badname.xls", e, rules, events)
  Check "a name cannot be read: message", e, "工作表名称无法读取"
  Check "a name cannot be read: released, not closed", events, _
        "create|open " & sheetsDir & "\badname.xls lcid=1033|release"
  Check "a name cannot be read: the workbook stays open", ctl.StandInOpenWorkbooks, opened + 1

  r = SheetCheck("K|工作*|5|m", sheetsDir, "cn.xls", e, rules, events)
  Check "Chinese worksheet names", rules, "<K|工作表一|5|m>"

  ctl.StandInReset
  ctl.StandInPreopen = True
  Set s = CreateObject("VexmarExt.ClsExcelMultiSheets")
  s.Rule = "K|D*|5|m"
  s.TestPath = sheetsDir
  s.FileName = "book.xls"
  r = s.ParseRule(e)
  Set s = Nothing
  Check "every open workbook is closed without saving", ctl.StandInLog, _
        "create|open " & book & " lcid=1033|close Preopened.xls save=False lcid=1033" & _
        "|close book.xls save=False lcid=1033|release"

  ctl.StandInReset
  ctl.StandInRefuse = 2
  Set s = CreateObject("VexmarExt.ClsExcelMultiSheets")
  s.Rule = "K|S*|5|m"
  s.TestPath = sheetsDir
  s.FileName = "book.xls"
  Check "application cannot be created: result", s.ParseRule(e), False
  Check "application cannot be created: message", e, "无法打开EXCEL,请确定是否安装了EXCEL!"
  Check "application cannot be created: two attempts", ctl.StandInLog, "refuse|refuse"
  ctl.StandInReset
  ctl.StandInRefuse = 1
  Check "second creation attempt succeeds", s.ParseRule(e), True
  Check "second creation attempt: calls", Left(ctl.StandInLog, 14), "refuse|create|"

  ' With the class name "Excel" registered, the first attempt gets the application.
  Dim shell, clsid
  Set shell = CreateObject("WScript.Shell")
  clsid = shell.RegRead("HKCR\Excel.Application\CLSID\")
  shell.RegWrite "HKCR\Excel\CLSID\", clsid
  ctl.StandInReset
  ctl.StandInRefuse = 2
  Check "class name Excel: third attempt succeeds", s.ParseRule(e), True
  Check "class name Excel: calls", Left(ctl.StandInLog, 21), "refuse|refuse|create|"
  ctl.StandInReset
  r = s.ParseRule(e)
  Check "class name Excel: the first attempt creates it", Left(ctl.StandInLog, 12), "create|open "
  shell.Run "reg delete HKCR\Excel /f", 0, True
  Check "class name Excel removed again", shell.Run("reg query HKCR\Excel", 0, True), CLng(1)
  Check "MultiSheets with the stand-in: no error", Err.Number, CLng(0)
  If Err.Number <> 0 Then logFile.WriteLine "# " & Err.Number & " " & Err.Description
  ctl.StandInReset
End Sub

ScoreState
Matcher
RepeatName
MultiFiles
MultiSheets
logFile.Close
WScript.Echo "vbscript: " & passed & " passed, " & failed & " failed"
If failed > 0 Then WScript.Quit 1
