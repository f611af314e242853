#pragma once
// Command identifiers of the controls, shared by the forms and the out-of-process tests that find
// controls by them. Forms are found by their window class, which is the form's name.

namespace qv::ids {

// Main window TForm1.
namespace form1 {
inline constexpr const char* kClass = "TForm1";
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
}  // namespace form1

// Settings dialog TForm2.
namespace form2 {
inline constexpr const char* kClass = "TForm2";
inline constexpr int Button1 = 2001;
inline constexpr int Button2 = 2002;
inline constexpr int Button3 = 2003;
inline constexpr int Edit1 = 2101;
inline constexpr int CheckBox1 = 2201;
inline constexpr int RadioButton1 = 2301;
inline constexpr int Label2 = 2402;
inline constexpr int Label3 = 2403;
inline constexpr int Label4 = 2404;
inline constexpr int Label9 = 2409;
inline constexpr int GroupBox1 = 2501;
inline constexpr int GroupBox2 = 2502;
inline constexpr int PageControl1 = 2601;
}  // namespace form2

}  // namespace qv::ids
