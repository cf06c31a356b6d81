Attribute VB_Name = "Sylvo"
' The thirteen exports of a Sylvo model DLL for Excel VBA (64-bit and
' 32-bit Office). Set SYLVO_DIR below to the folder of the DLLs that fit
' your Excel: x64\ for 64-bit Excel, x86\ for 32-bit Excel. The declarations
' name sylvoa.dll (Model A); for Model B or C import a second copy of this
' module with "sylvoa" replaced by "sylvob" or "sylvoc" and the function
' prefix "Sa" by "Sb" or "Sc".
'
' Worksheet functions (each a public wrapper below), for example
'   =SaHeight(40, 24, 0)            dominant height at age 40, site index 24
'   =SaGrowBa(10, 1800, 6, 40)      basal area at age 40
' Every export takes and returns Doubles by value, but SylvoGrow, which
' writes TPH and BA back through its last two arguments (ByRef).
Option Explicit

Private Const SYLVO_DIR As String = "C:\Sylvo\x64\"

#If VBA7 Then
Private Declare PtrSafe Function LibMain Lib "sylvoa.dll" (ByVal hModule As LongPtr, ByVal reason As Long, ByVal reserved As LongPtr) As Long
Private Declare PtrSafe Function SylvoVersion Lib "sylvoa.dll" () As Double
Private Declare PtrSafe Function SylvoGrowTph Lib "sylvoa.dll" (ByVal t1 As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal t2 As Double) As Double
Private Declare PtrSafe Function SylvoGrowBa Lib "sylvoa.dll" (ByVal t1 As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal t2 As Double) As Double
Private Declare PtrSafe Sub SylvoGrow Lib "sylvoa.dll" (ByVal t1 As Double, ByVal t2 As Double, ByRef n As Double, ByRef b As Double)
Private Declare PtrSafe Function SylvoVolume Lib "sylvoa.dll" (ByVal h As Double, ByVal n As Double, ByVal b As Double) As Double
Private Declare PtrSafe Function SylvoMerchVol Lib "sylvoa.dll" (ByVal h As Double, ByVal n As Double, ByVal b As Double, ByVal d As Double) As Double
Private Declare PtrSafe Function SylvoBaAfter Lib "sylvoa.dll" (ByVal p As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal n2 As Double) As Double
Private Declare PtrSafe Function SylvoTphAfter Lib "sylvoa.dll" (ByVal p As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal b2 As Double) As Double
Private Declare PtrSafe Function SylvoSite Lib "sylvoa.dll" (ByVal h As Double, ByVal t As Double, ByVal u As Double) As Double
Private Declare PtrSafe Function SylvoHeight Lib "sylvoa.dll" (ByVal t As Double, ByVal s As Double, ByVal u As Double) As Double
Private Declare PtrSafe Function SylvoAge Lib "sylvoa.dll" (ByVal h As Double, ByVal s As Double, ByVal u As Double) As Double
Private Declare PtrSafe Function SylvoGain Lib "sylvoa.dll" (ByVal h As Double, ByVal u As Double, ByVal s As Double) As Double
Private Declare PtrSafe Function SetDllDirectoryW Lib "kernel32" (ByVal path As LongPtr) As Long
#Else
' Office 2007 and older (VBA 6, always 32-bit): the x86\ DLLs.
Private Declare Function LibMain Lib "sylvoa.dll" (ByVal hModule As Long, ByVal reason As Long, ByVal reserved As Long) As Long
Private Declare Function SylvoVersion Lib "sylvoa.dll" () As Double
Private Declare Function SylvoGrowTph Lib "sylvoa.dll" (ByVal t1 As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal t2 As Double) As Double
Private Declare Function SylvoGrowBa Lib "sylvoa.dll" (ByVal t1 As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal t2 As Double) As Double
Private Declare Sub SylvoGrow Lib "sylvoa.dll" (ByVal t1 As Double, ByVal t2 As Double, ByRef n As Double, ByRef b As Double)
Private Declare Function SylvoVolume Lib "sylvoa.dll" (ByVal h As Double, ByVal n As Double, ByVal b As Double) As Double
Private Declare Function SylvoMerchVol Lib "sylvoa.dll" (ByVal h As Double, ByVal n As Double, ByVal b As Double, ByVal d As Double) As Double
Private Declare Function SylvoBaAfter Lib "sylvoa.dll" (ByVal p As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal n2 As Double) As Double
Private Declare Function SylvoTphAfter Lib "sylvoa.dll" (ByVal p As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal b2 As Double) As Double
Private Declare Function SylvoSite Lib "sylvoa.dll" (ByVal h As Double, ByVal t As Double, ByVal u As Double) As Double
Private Declare Function SylvoHeight Lib "sylvoa.dll" (ByVal t As Double, ByVal s As Double, ByVal u As Double) As Double
Private Declare Function SylvoAge Lib "sylvoa.dll" (ByVal h As Double, ByVal s As Double, ByVal u As Double) As Double
Private Declare Function SylvoGain Lib "sylvoa.dll" (ByVal h As Double, ByVal u As Double, ByVal s As Double) As Double
Private Declare Function SetDllDirectoryW Lib "kernel32" (ByVal path As Long) As Long
#End If

Private loaded As Boolean

' Lets Windows find the DLL in SYLVO_DIR at the first call.
Private Sub FindDll()
    If Not loaded Then
        SetDllDirectoryW StrPtr(SYLVO_DIR)
        loaded = True
    End If
End Sub

Public Function SaVersion() As Double
    FindDll: SaVersion = SylvoVersion()
End Function

Public Function SaLibMain(ByVal reason As Long) As Long
    FindDll: SaLibMain = LibMain(0, reason, 0)
End Function

Public Function SaGrowTph(ByVal t1 As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal t2 As Double) As Double
    FindDll: SaGrowTph = SylvoGrowTph(t1, n1, b1, t2)
End Function

Public Function SaGrowBa(ByVal t1 As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal t2 As Double) As Double
    FindDll: SaGrowBa = SylvoGrowBa(t1, n1, b1, t2)
End Function

' TPH and BA at t2 side by side: select two cells, type =SaGrow(...) and
' confirm with Ctrl+Shift+Enter (or let it spill in Excel 365).
Public Function SaGrow(ByVal t1 As Double, ByVal t2 As Double, ByVal n As Double, ByVal b As Double) As Variant
    FindDll
    SylvoGrow t1, t2, n, b
    SaGrow = Array(n, b)
End Function

Public Function SaVolume(ByVal h As Double, ByVal n As Double, ByVal b As Double) As Double
    FindDll: SaVolume = SylvoVolume(h, n, b)
End Function

Public Function SaMerchVol(ByVal h As Double, ByVal n As Double, ByVal b As Double, ByVal d As Double) As Double
    FindDll: SaMerchVol = SylvoMerchVol(h, n, b, d)
End Function

Public Function SaBaAfter(ByVal p As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal n2 As Double) As Double
    FindDll: SaBaAfter = SylvoBaAfter(p, n1, b1, n2)
End Function

Public Function SaTphAfter(ByVal p As Double, ByVal n1 As Double, ByVal b1 As Double, ByVal b2 As Double) As Double
    FindDll: SaTphAfter = SylvoTphAfter(p, n1, b1, b2)
End Function

Public Function SaSite(ByVal h As Double, ByVal t As Double, ByVal u As Double) As Double
    FindDll: SaSite = SylvoSite(h, t, u)
End Function

Public Function SaHeight(ByVal t As Double, ByVal s As Double, ByVal u As Double) As Double
    FindDll: SaHeight = SylvoHeight(t, s, u)
End Function

Public Function SaAge(ByVal h As Double, ByVal s As Double, ByVal u As Double) As Double
    FindDll: SaAge = SylvoAge(h, s, u)
End Function

Public Function SaGain(ByVal h As Double, ByVal u As Double, ByVal s As Double) As Double
    FindDll: SaGain = SylvoGain(h, u, s)
End Function
