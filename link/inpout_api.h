// SPDX-License-Identifier: GPL-2.0-or-later
// The functions of the InpOut port library (inpout32.dll, inpoutx64.dll) the
// program uses, declared as the library documents them: __stdcall (WINAPI),
// undecorated names. They are taken from the DLL at run time through the
// pointer types below, each checked here against its declaration: on 32-bit
// Windows a pointer without __stdcall leaves the stack unbalanced and the
// program crashes at its first port access, while on 64-bit Windows there is
// only one calling convention and the mistake would go unseen.
#pragma once

#ifdef _WIN32

#include <windows.h>

#include <type_traits>

extern "C" {
BOOL WINAPI IsInpOutDriverOpen();
UCHAR WINAPI DlPortReadPortUchar(USHORT port);
void WINAPI DlPortWritePortUchar(USHORT port, UCHAR value);
}

namespace tav::inpout {

using IsDriverOpenFunction = BOOL(WINAPI*)();
using ReadFunction = UCHAR(WINAPI*)(USHORT);
using WriteFunction = void(WINAPI*)(USHORT, UCHAR);
static_assert(std::is_same_v<IsDriverOpenFunction, decltype(&::IsInpOutDriverOpen)>);
static_assert(std::is_same_v<ReadFunction, decltype(&::DlPortReadPortUchar)>);
static_assert(std::is_same_v<WriteFunction, decltype(&::DlPortWritePortUchar)>);

inline constexpr const char* kIsDriverOpen = "IsInpOutDriverOpen";
inline constexpr const char* kRead = "DlPortReadPortUchar";
inline constexpr const char* kWrite = "DlPortWritePortUchar";

}  // namespace tav::inpout

#endif  // _WIN32
