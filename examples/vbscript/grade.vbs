' The sample grading host in VBScript: runs an exam directory (an item file and one
' directory per candidate) through the registered VexmarExt.dll by late binding, as a
' Windows grading host does, and prints the same report as the C++ and Python example
' hosts (without the timing lines).
'
'   cscript //nologo grade.vbs [EXAM_DIR [REPORT_FILE]]
'
' EXAM_DIR defaults to the sample-exam folder next to this script. The report goes to
' the console, or to REPORT_FILE (UTF-16, as Notepad reads it); started by double-click
' (wscript), to report.txt next to this script. The item file (EXAM_DIR\items.txt) is
' UTF-8; docs/host-guide.md describes its format.
'
' The file is plain ASCII so that it runs under every system code page; characters
' beyond ASCII come from ChrW, or, where a script engine lacks it, from JScript. Lists
' are dictionaries keyed by their position as text and read through Items(), rather
' than arrays grown with ReDim or numeric keys, which not every script engine handles
' alike.
Option Explicit

Const kLabelWidth = 20
Const kItemFileName = "items.txt"

Dim fso, report, lines
Set fso = CreateObject("Scripting.FileSystemObject")
Set lines = NewList()

Function NewList()
  Set NewList = CreateObject("Scripting.Dictionary")
End Function

Sub Append(list, value)
  list.Add CStr(list.Count), value
End Sub

' ---- text ----

Dim jscriptHelper
Function JScript()
  If IsEmpty(jscriptHelper) Then
    Set jscriptHelper = CreateObject("MSScriptControl.ScriptControl")
    jscriptHelper.Language = "JScript"
    ' UTF-8 from bytes read as UTF-16 units (two bytes a unit, low byte first).
    jscriptHelper.AddCode _
      "function decodeUtf8(units, size) {" & _
      "  var escaped = '';" & _
      "  for (var i = 0; i < size; i++) {" & _
      "    var u = units.charCodeAt(i >> 1), b = (i & 1) ? (u >> 8) : (u & 255);" & _
      "    escaped += (b < 16 ? '%0' : '%') + b.toString(16);" & _
      "  }" & _
      "  return decodeURIComponent(escaped);" & _
      "}"
  End If
  Set JScript = jscriptHelper
End Function

Function CharOf(code)
  On Error Resume Next
  CharOf = ChrW(code)
  If Err.Number = 0 Then Exit Function
  Err.Clear
  On Error GoTo 0
  CharOf = JScript().Eval("String.fromCharCode(" & code & ")")
End Function

Dim lineBreakMark
lineBreakMark = CharOf(&H21B5)

' Text as one printable line, as the C++ host shows it: CR LF as a return arrow, other
' control characters as escapes. (Unpaired surrogates, which the C++ host escapes too,
' are left as they are: a Windows host meets them only in rare file names.)
Function Shown(text)
  Dim s, code
  s = Replace(CStr(text), vbCrLf, lineBreakMark)
  s = Replace(s, vbCr, "\r")
  s = Replace(s, vbLf, "\n")
  s = Replace(s, vbTab, "\t")
  For code = 0 To 31
    s = Replace(s, Chr(code), "\x" & Right("0" & Hex(code), 2))
  Next
  Shown = Replace(s, Chr(127), "\x7F")
End Function

' A value as the host prints it: numbers as an Automation host converts them to text.
Function Text(value)
  Text = Shown(CStr(value))
End Function

Function Padded(label)
  Padded = label & Space(kLabelWidth - Len(label))
End Function

Sub Emit(line)
  Append lines, line
End Sub

Sub Line(label, value)
  Emit "    " & Padded(label) & value
End Sub

' ---- the item file ----

' The UTF-8 file's text: ADODB.Stream where it is usable, else the bytes decoded by
' JScript.
Function ReadUtf8(path)
  Dim stream, size
  On Error Resume Next
  Set stream = CreateObject("ADODB.Stream")
  stream.Type = 2
  stream.Charset = "utf-8"
  stream.Open
  stream.LoadFromFile path
  ReadUtf8 = stream.ReadText(-1)
  stream.Close
  If Err.Number = 0 Then Exit Function
  Err.Clear
  On Error GoTo 0
  size = fso.GetFile(path).Size
  If size = 0 Then
    ReadUtf8 = ""
    Exit Function
  End If
  ' Read as UTF-16, a file of odd size loses its last byte: taken from an ANSI reading,
  ' where an ASCII character (a line break, as text files end) is itself.
  Dim units, last
  units = fso.OpenTextFile(path, 1, False, -1).ReadAll()
  If size Mod 2 = 1 Then
    last = Right(fso.OpenTextFile(path, 1, False, 0).ReadAll(), 1)
    If Asc(last) < 0 Or Asc(last) > 127 Then
      Fail "cannot read " & path & " without ADODB.Stream: end it with a line break"
    End If
    units = units & last
  End If
  On Error Resume Next
  ReadUtf8 = JScript().CodeObject.decodeUtf8(units, size)
  If Err.Number <> 0 Then Fail path & ": the text is not UTF-8"
  On Error GoTo 0
  If Left(ReadUtf8, 1) = CharOf(&HFEFF) Then ReadUtf8 = Mid(ReadUtf8, 2)
End Function

Function IsBlank(s)
  IsBlank = Len(Replace(Replace(s, " ", ""), vbTab, "")) = 0
End Function

Function IsComment(s)
  IsComment = Left(LTrim(Replace(s, vbTab, " ")), 1) = ";"
End Function

Sub Fail(message)
  WScript.Echo "grade.vbs: " & message
  WScript.Quit 2
End Sub

' One item: kind ("sheet", "naming", "multifile"), file (file= of a sheet item), rule.
Class ExamItem
  Public Kind
  Public File
  Public Rule
End Class

Function ParseHeader(s, number, path)
  Dim item, rest, close, pos, key, value, quote
  Set item = New ExamItem
  rest = LTrim(Replace(s, vbTab, " "))
  close = InStr(rest, "]")
  If Left(rest, 1) <> "[" Or close = 0 Then
    Fail path & ", line " & number & ": expected an item header: [sheet] file=NAME, [naming] or [multifile]"
  End If
  item.Kind = Mid(rest, 2, close - 2)
  If item.Kind <> "sheet" And item.Kind <> "naming" And item.Kind <> "multifile" Then
    Fail path & ", line " & number & ": unknown item kind [" & item.Kind & "]"
  End If
  item.File = Empty
  rest = LTrim(Mid(rest, close + 1))
  Do While Len(rest) > 0
    pos = InStr(rest, "=")
    If pos <= 1 Or (InStr(rest, " ") > 0 And InStr(rest, " ") < pos) Then
      Fail path & ", line " & number & ": expected key=value after the item kind"
    End If
    key = Left(rest, pos - 1)
    rest = Mid(rest, pos + 1)
    If Left(rest, 1) = """" Then
      quote = InStr(2, rest, """")
      If quote = 0 Then Fail path & ", line " & number & ": unterminated quoted value"
      value = Mid(rest, 2, quote - 2)
      rest = Mid(rest, quote + 1)
    Else
      pos = InStr(rest, " ")
      If pos = 0 Then pos = Len(rest) + 1
      value = Left(rest, pos - 1)
      rest = Mid(rest, pos)
    End If
    If key <> "file" Or item.Kind <> "sheet" Then
      Fail path & ", line " & number & ": unknown attribute " & key & " for [" & item.Kind & "]"
    End If
    If Not IsEmpty(item.File) Then Fail path & ", line " & number & ": file= given twice"
    item.File = value
    rest = LTrim(rest)
  Loop
  If item.Kind = "sheet" And IsEmpty(item.File) Then
    Fail path & ", line " & number & ": a [sheet] item needs file=, the name of the candidate's workbook"
  End If
  Set ParseHeader = item
End Function

' The items of the item file, in file order; a block's rule lines joined with CR LF,
' trailing blank lines left out.
Function LoadItems(path)
  Dim content, fileLines, lineCount, items, current, ruleLines, rule, i, s, last
  If Not fso.FileExists(path) Then Fail "cannot read the item file " & path
  content = Replace(ReadUtf8(path), vbCrLf, vbLf)
  fileLines = Split(content, vbLf)
  lineCount = UBound(fileLines) + 1
  If Len(content) > 0 And Right(content, 1) = vbLf Then lineCount = lineCount - 1
  Set items = NewList()
  Set current = Nothing
  For i = 0 To lineCount
    If i < lineCount Then s = fileLines(i) Else s = "---"
    If s = "---" Then
      If Not current Is Nothing Then
        rule = ruleLines.Items()
        last = UBound(rule)
        Do While last >= 0
          If Not IsBlank(rule(last)) Then Exit Do
          last = last - 1
        Loop
        current.Rule = ""
        For s = 0 To last
          If s > 0 Then current.Rule = current.Rule & vbCrLf
          current.Rule = current.Rule & rule(s)
        Next
        Append items, current
        Set current = Nothing
      End If
    ElseIf Not current Is Nothing Then
      Append ruleLines, s
    ElseIf Not IsBlank(s) And Not IsComment(s) Then
      Set current = ParseHeader(s, i + 1, path)
      Set ruleLines = NewList()
    End If
  Next
  If items.Count = 0 Then Fail path & ": no items"
  LoadItems = items.Items()
End Function

' ---- the candidates ----

' Sub-directories not starting with ".", in the library's listing order (by their
' upper-cased UTF-16 form).
Function CandidateNames(exam)
  Dim folder, found, names, i, j, held
  Set found = NewList()
  For Each folder In fso.GetFolder(exam).SubFolders
    If Left(folder.Name, 1) <> "." Then Append found, folder.Name
  Next
  names = found.Items()
  For i = 1 To UBound(names)
    held = names(i)
    j = i - 1
    Do While j >= 0
      If StrComp(UCase(names(j)), UCase(held), vbBinaryCompare) <= 0 Then Exit Do
      names(j + 1) = names(j)
      j = j - 1
    Loop
    names(j + 1) = held
  Next
  CandidateNames = names
End Function

' ---- grading ----

Const kDone = 0
Const kRefused = 1
Const kError = 2

Function ItemTitle(item, number)
  ItemTitle = "item " & number & " [" & item.Kind & "]"
  If item.Kind = "sheet" Then ItemTitle = ItemTitle & " " & Shown(item.File)
End Function

' The strings of a collection (PingRules, FilesName): Count, then Item(1..Count).
Sub ListCollection(label, collection)
  Dim count, i
  If collection Is Nothing Then
    Line label, "Nothing"
    Exit Sub
  End If
  count = collection.Count
  Line label, count
  For i = 1 To count
    Emit "      " & i & "  " & Text(collection.Item(i))
  Next
End Sub

' Each grader leaves its outcome in `outcome`; an error ends it where it happened.
Sub GradeSheet(item, testPath, outcome)
  Dim sheets, message, parsed
  Set sheets = CreateObject("VexmarExt.ClsExcelMultiSheets")
  sheets.Rule = item.Rule
  sheets.TestPath = testPath
  sheets.FileName = item.File
  message = ""
  parsed = sheets.ParseRule(message)
  If parsed Then Line "ParseRule", "True" Else Line "ParseRule", "False"
  If Not parsed Then Line "strErrMsg", Text(message)
  Line "Weight", Text(sheets.Weight)
  Line "ErrMsg", Text(sheets.ErrMsg)
  ListCollection "PingRules", sheets.PingRules
  If parsed Then outcome = kDone Else outcome = kRefused
End Sub

Sub GradeNaming(item, testPath, outcome)
  Dim names, message, weight, usable, list, count, i
  Set names = CreateObject("VexmarExt.ClsRepeatName")
  message = ""
  weight = CSng(0)
  usable = names.GetRuleItem(item.Rule, message, weight)
  If usable Then Line "GetRuleItem", "True" Else Line "GetRuleItem", "False"
  Line "strErrMsg", Text(message)
  Line "sngWeight", Text(weight)
  count = names.GetFileNames(item.Rule, list, testPath)
  Line "GetFileNames", Text(count)
  If IsArray(list) Then
    For i = 1 To UBound(list)
      Emit "      " & i & "  " & Shown(list(i))
      Emit "         ChangeRuleFileName  " & Text(names.ChangeRuleFileName(item.Rule, list(i)))
    Next
  End If
  If usable Then outcome = kDone Else outcome = kRefused
End Sub

Sub GradeMultiFile(item, testPath, outcome)
  Dim files, count
  Set files = CreateObject("VexmarExt.ClsExcelMultiFiles")
  files.Rules = item.Rule
  files.TestPath = testPath
  count = files.ParseRules()
  Line "ParseRules", count
  ListCollection "FilesName", files.FilesName
  If count >= 0 Then outcome = kDone Else outcome = kRefused
End Sub

Function HexStatus(number)
  HexStatus = "0x" & Right("0000000" & Hex(number), 8)
End Function

Function GradeItem(item, testPath)
  Dim outcome, number, status
  outcome = kError
  On Error Resume Next
  Select Case item.Kind
    Case "sheet": GradeSheet item, testPath, outcome
    Case "naming": GradeNaming item, testPath, outcome
    Case "multifile": GradeMultiFile item, testPath, outcome
  End Select
  If Err.Number <> 0 Then
    ' VBScript gives an Automation error (0x800A....) by its number alone.
    number = Err.Number
    If number > 0 And number < 65536 Then status = &H800A0000 Or number Else status = number
    Line "error", (number And &HFFFF&) & " (" & HexStatus(status) & ") " & Shown(Err.Description)
    outcome = kError
    Err.Clear
  End If
  GradeItem = outcome
End Function

' ---- the run ----

Dim exam, reportFile, items, names, i, c, testPath, tally, outcome
Set tally = NewList()
tally.Add kDone, 0
tally.Add kRefused, 0
tally.Add kError, 0
On Error Resume Next
SetLocale 1033  ' numbers with a decimal point, whatever the user's settings
On Error GoTo 0

If WScript.Arguments.Count > 0 Then
  exam = WScript.Arguments(0)
Else
  exam = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "sample-exam")
End If
If WScript.Arguments.Count > 1 Then reportFile = WScript.Arguments(1)
' Under wscript every Echo would be a message box.
If IsEmpty(reportFile) And LCase(fso.GetFileName(WScript.FullName)) = "wscript.exe" Then
  reportFile = fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "report.txt")
End If
If Not fso.FolderExists(exam) Then Fail exam & " is not an exam directory"

items = LoadItems(fso.BuildPath(exam, kItemFileName))
names = CandidateNames(exam)
Emit "VexmarExt sample host (VBScript)"
Emit "exam        " & Shown(exam)
Emit "item file   " & Shown(fso.BuildPath(exam, kItemFileName))
Emit "items       " & (UBound(items) + 1)
Emit "candidates  " & (UBound(names) + 1)
Emit ""
Emit "items"
For i = 0 To UBound(items)
  Emit "  " & ItemTitle(items(i), i + 1)
  Emit "    rule  " & Shown(items(i).Rule)
Next

For c = 0 To UBound(names)
  testPath = fso.BuildPath(exam, names(c))
  Emit ""
  Emit "candidate " & Shown(names(c)) & "  (TestPath " & Shown(testPath) & ")"
  For i = 0 To UBound(items)
    Emit "  " & ItemTitle(items(i), i + 1)
    outcome = GradeItem(items(i), testPath)
    tally(outcome) = tally(outcome) + 1
  Next
Next
Emit ""
Emit "summary"
Emit "  candidates  " & (UBound(names) + 1)
Emit "  items       " & (UBound(items) + 1)
Emit "  item runs   " & (UBound(names) + 1) * (UBound(items) + 1) & ": " & tally(kDone) & _
     " done, " & tally(kRefused) & " answered false or -1, " & tally(kError) & _
     " failed with an error"

If IsEmpty(reportFile) Then
  For Each i In lines.Items()
    WScript.Echo i
  Next
Else
  Set report = fso.CreateTextFile(reportFile, True, True)
  For Each i In lines.Items()
    report.WriteLine i
  Next
  report.Close
  If LCase(fso.GetFileName(WScript.FullName)) = "wscript.exe" Then WScript.Echo "Report: " & reportFile
End If
