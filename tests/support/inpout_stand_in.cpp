// SPDX-License-Identifier: GPL-2.0-or-later
// A stand-in for the InpOut port library, built as inpout32.dll or
// inpoutx64.dll into a folder of its own, with the simulated board behind its
// ports: a program that loads it finds a board at 0x378 as it would through
// the real library. Defined through the same declarations the program checks
// its function pointers against, so a calling convention that differs
// between the two shows on 32-bit Windows as a crash in the tests. With the
// environment variable TAVROLITH_INPOUT_CLOSED set, its driver reports itself
// not open.
#include "link/inpout_api.h"
#include "sim/sim_board.h"

namespace {

// The library's functions carry no handle, so its board lives as long as
// the DLL stays loaded.
tav::sim::SimBoard& Board() {
  static tav::sim::SimBoard board(0x378);
  return board;
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL WINAPI IsInpOutDriverOpen() {
  return GetEnvironmentVariableW(L"TAVROLITH_INPOUT_CLOSED", nullptr, 0) == 0 ? TRUE : FALSE;
}

__declspec(dllexport) UCHAR WINAPI DlPortReadPortUchar(USHORT port) { return Board().In(port); }

__declspec(dllexport) void WINAPI DlPortWritePortUchar(USHORT port, UCHAR value) { Board().Out(port, value); }

}  // extern "C"
