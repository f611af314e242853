#pragma once
// How a recycle case talks to the child it starts (see main.cpp).
namespace qv::in_process {

inline constexpr const wchar_t* kRecycleSwitch = L"--recycle";
// The child's exit code is this plus the Recycled answer (Yes 0, NoRecycleBin 1, Failed 2).
inline constexpr int kRecycleExitBase = 10;

}  // namespace qv::in_process
