#pragma once
// Command identifiers of the settings dialog's controls, shared by the dialog and the out-of-process
// tests that find controls by them. The dialog is found by its window class.

namespace qv::ids::form2 {

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

}  // namespace qv::ids::form2
