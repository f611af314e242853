#pragma once
// Command identifiers of the main window's controls and menu items, shared by the form and the
// out-of-process tests that find controls by them. The form is found by its window class.
//
// Menu items live in a range of their own: a command that names no control (a menu item, an
// accelerator) is looked up among the menu items only, so it can never run a button.

namespace qv::ids::form1 {

inline constexpr const char* kClass = "TForm1";

// Controls.
inline constexpr int Button1 = 1001;
inline constexpr int Button2 = 1002;
inline constexpr int Button3 = 1003;
inline constexpr int Button4 = 1004;
inline constexpr int Button7 = 1007;
inline constexpr int Button8 = 1008;
inline constexpr int Button10 = 1010;
inline constexpr int BitBtn1 = 1101;
inline constexpr int BitBtn2 = 1102;
inline constexpr int BitBtn3 = 1103;
inline constexpr int BitBtn4 = 1104;
inline constexpr int Label6 = 1206;
inline constexpr int Label8 = 1208;
inline constexpr int Label9 = 1209;
inline constexpr int Label10 = 1210;
inline constexpr int Label11 = 1211;
inline constexpr int Label12 = 1212;
inline constexpr int Label13 = 1213;
inline constexpr int Label14 = 1214;
inline constexpr int Label15 = 1215;
inline constexpr int ProgressBar1 = 1301;
inline constexpr int ListView1 = 1401;
inline constexpr int Panel1 = 1501;
inline constexpr int Panel2 = 1502;
inline constexpr int Panel5 = 1505;
inline constexpr int Panel6 = 1506;
inline constexpr int GroupBox1 = 1601;
inline constexpr int WebBrowser1 = 1701;

// Menu items: the menu bar MainMenu1 and the tray's PopupMenu1.
inline constexpr int kFirstMenuId = 40001;
inline constexpr int N10 = 40010;         // "檔案"
inline constexpr int UI1 = 40011;         // "更新 UI"
inline constexpr int N17 = 40017;         // "啟動遊戲"
inline constexpr int N14 = 40014;         // "退出"
inline constexpr int N9 = 40009;          // "Pellmoor"
inline constexpr int N5 = 40005;          // "劍俠3專區"
inline constexpr int N1 = 40001;          // "選項(&C)"
inline constexpr int StopTaskM = 40101;   // "設置"
inline constexpr int N4 = 40004;          // "恢復視窗"
inline constexpr int ApplyFaceM = 40102;  // "啟動程式(&I)"
inline constexpr int N13 = 40013;         // "更新"
inline constexpr int N8 = 40008;          // separator
inline constexpr int N2 = 40002;          // "幫助(&H)"
inline constexpr int N6 = 40006;          // "幫助(&H)" (the forum)
inline constexpr int N7 = 40007;          // "關于(&A)"
inline constexpr int RestoreM = 40201;    // "恢復視窗(&R)"
inline constexpr int N11 = 40211;         // "設置"
inline constexpr int N12 = 40212;         // "檢查更新"
inline constexpr int N3 = 40203;          // "退出程式"
inline constexpr int kLastMenuId = 40299;

}  // namespace qv::ids::form1
