' Run by scripts/test-windows after regsvr32 /u: the ProgID must no longer create an object.
On Error Resume Next
Dim q
Set q = CreateObject("ConvertQuor.Quor")
WScript.Echo "CreateObject fails: " & CStr(Err.Number <> 0)
