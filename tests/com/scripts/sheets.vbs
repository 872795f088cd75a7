' The worksheet-check table through the registered server, as a script host drives it:
' ParseRule of every rule on every workbook, one line each (workbook, rule, result,
' message, per-sheet rules), for comparison with the Linux build's answers.
'
' cscript sheets.vbs <workbook directory> <rules file> <workbook list> <log file>
' The rules and the list are in the ANSI code page; the log is UTF-16.
Option Explicit
Dim fso, logFile, dir, rules, books, book, rule, s, e, r, items, x
Set fso = CreateObject("Scripting.FileSystemObject")
dir = WScript.Arguments(0)
rules = Split(fso.OpenTextFile(WScript.Arguments(1)).ReadAll, vbLf)
books = Split(fso.OpenTextFile(WScript.Arguments(2)).ReadAll, vbLf)
Set logFile = fso.CreateTextFile(WScript.Arguments(3), True, True)
On Error Resume Next
For Each book In books
  If book <> "" Then
    For Each rule In rules
      If rule <> "" Then
        Set s = CreateObject("VexmarExt.ClsExcelMultiSheets")
        If Err.Number <> 0 Then
          logFile.WriteLine "# cannot create the class: " & Err.Number & " " & Err.Description
          WScript.Quit 1
        End If
        s.Rule = rule
        s.TestPath = dir
        s.FileName = book
        e = ""
        r = s.ParseRule(e)
        items = ""
        If Not s.PingRules Is Nothing Then
          For Each x In s.PingRules
            items = items & "<" & x & ">"
          Next
        End If
        If r Then r = "True" Else r = "False"
        logFile.WriteLine book & vbTab & rule & vbTab & r & vbTab & e & vbTab & items
        If Err.Number <> 0 Then logFile.WriteLine "# error " & Err.Number & " " & Err.Description
        Err.Clear
        Set s = Nothing
      End If
    Next
  End If
Next
logFile.Close
WScript.Echo "sheets.vbs: done"
