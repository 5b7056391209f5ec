// SPDX-License-Identifier: GPL-2.0-or-later
// What the "Brennen" command runs after loading the program file: burn,
// optionally compare and lock, all in one power-up.
#include "base/feedback.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"
#include "settings/settings.h"

namespace tav {

int RunProgramSequence(OperationContext& ctx) {
  int result = ProgramDevice(ctx);
  if (result == kSuccess && ctx.settings.Verify != 0) result = CompareWithImage(ctx);
  if (result == kSuccess) {
    if (ctx.settings.Lock1 != 0 || ctx.settings.Lock2 != 0 || ctx.settings.Lock3 != 0) {
      result = ProgramLockBits(ctx);
    }
    // A lock without effect has told the user already and keeps the closing
    // message; a failed lock step has shown its own and ends the run here.
    if (result == kSuccess || result == kLockWithoutEffect) {
      if (ctx.passedOverErrors == 0) {
        ctx.feedback.ShowInfo("Keine Fehler beim Prüfen");
      } else {
        const unsigned long count = ctx.passedOverErrors;
        ctx.feedback.ShowInfo(FormatText("Programmierung beendet mit %lu übergangenen Programmierfehler%s !", count,
                                         count == 1 ? "" : "n"));
        if (result == kSuccess) result = kOperationFailed;
      }
    }
  }
  ctx.link.PowerDown();
  return result;
}

}  // namespace tav
