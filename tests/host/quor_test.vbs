' Drives ConvertQuor.Quor by name, as a VBScript or VBA caller does: every operation with and without
' ConvertSign, Version, the property, runtime errors 5, 9 and 13, and two records written to the file
' named by the first argument. scripts/test-windows compares the whole output with
' quor_test.expected; the last line shows that the script ran to its end.
'
' Results are ByteStrings: Len counts their 16-bit units (bytes / 2, rounded down), and two results
' are compared as texts. Their exact bytes are checked by the C++ client and the record file.
Option Explicit

Dim q, other, s, t, recordFile
recordFile = WScript.Arguments(0)

Sub Show(label, value)
  WScript.Echo label & ": " & value
End Sub

Set q = CreateObject("ConvertQuor.Quor")
Show "Version", q.Version
Show "Version type", TypeName(q.Version)
Show "Version again", q.Version

Show "path", q.JEFGaijiFilePath
q.JEFGaijiFilePath = "Z:\nowhere\FMB1JEFM.TXT"
Show "path written", q.JEFGaijiFilePath
Set other = CreateObject("ConvertQuor.Quor")
Show "other object's path", other.JEFGaijiFilePath
Set other = Nothing
q.JEFGaijiFilePath = ""
Show "path emptied", "[" & q.JEFGaijiFilePath & "]"

s = q.FujitsuZoneFD("-1234", 6)
t = q.FujitsuZoneFD("-1234", 6, True)
Show "FujitsuZoneFD length", Len(s)
Show "FujitsuZoneFD sign left out = true", CStr(s = t)
Show "FujitsuZoneFD unsigned length", Len(q.FujitsuZoneFD("1234", 4, False))

s = q.FujitsuPack("1234567", 7)
t = q.FujitsuPack("1234567", 7, True)
Show "FujitsuPack length", Len(s)
Show "FujitsuPack sign left out = true", CStr(s = t)
Show "FujitsuPack unsigned differs", CStr(s <> q.FujitsuPack("12345678", 8, False))

s = q.FujitsuZoneFDArray("1,-2", "2,4")
t = q.FujitsuZoneFDArray("1,-2", "2,4", True)
Show "FujitsuZoneFDArray length", Len(s)
Show "FujitsuZoneFDArray sign left out = true", CStr(s = t)
Show "FujitsuZoneFDArray counts differ", q.FujitsuZoneFDArray("1,2", "3")

s = q.FujitsuHostQuor("ABC,123", "5,5", "1,3")
t = q.FujitsuHostQuor("ABC,123", "5,5", "1,3", True)
Show "FujitsuHostQuor length", Len(s)
Show "FujitsuHostQuor sign left out = true", CStr(s = t)
Show "FujitsuHostQuor unsigned differs", CStr(s <> q.FujitsuHostQuor("ABC,123", "5,5", "1,3", False))
Show "FujitsuHostQuor counts differ", q.FujitsuHostQuor("ABC", "5,5", "1,3")

Show "SJIStoEBCDICK length", Len(q.SJIStoEBCDICK("ABCD", 4))
Show "FujitsuJEF length", Len(q.FujitsuJEF("AB", 2))
Show "FujitsuJEF length 0", Len(q.FujitsuJEF("AB", 0))

On Error Resume Next
s = "unchanged"
s = q.FujitsuZoneFD("1", -1)
Show "error 5", Err.Number & " " & Err.Source & " / " & Err.Description & " / " & s
Err.Clear
s = q.SJIStoEBCDICK("ABC", 2)
Show "error 9", Err.Number & " " & Err.Source & " / " & Err.Description & " / " & s
Err.Clear
s = q.FujitsuZoneFD("12A", 3)
Show "error 13", Err.Number & " " & Err.Source & " / " & Err.Description & " / " & s
Err.Clear
s = q.FujitsuHostQuor("1,2,3", "5,,5", "0,0,0")
Show "error 13 from a record", Err.Number & " / " & s
Err.Clear
s = q.FujitsuZoneFDArray("1,-2", "2,4", False)
Show "error 13 unsigned list", Err.Number & " / " & s
Err.Clear
s = q.FujitsuZoneFD("1")
Show "argument missing", CStr(Err.Number <> 0) & " / " & s
Err.Clear
s = q.NoSuchOperation("1")
Show "unknown name", Err.Number
Err.Clear
On Error GoTo 0

Show "record 1 written", CStr(q.FujitsuHostQuorBinaryWrite("ABC,123", "5,5", "1,3", recordFile))
Show "record 2 written", CStr(q.FujitsuHostQuorBinaryWrite("ABC,123", "5,5", "1,3", "", True))
Set q = Nothing
WScript.Echo "end of quor_test.vbs"
