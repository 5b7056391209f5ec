// What the "Brennen" command runs after loading the program file: burn,
// optionally compare and lock, all in one power-up.
#include "base/feedback.h"
#include "link/programmer_link.h"
#include "operations/operations.h"
#include "settings/settings.h"

namespace tav {

int RunProgramSequence(OperationContext& ctx) {
  int result = ProgramDevice(ctx);
  if (result == kSuccess && ctx.settings.Verify != 0) result = CompareWithImage(ctx);
  if (result == kSuccess) {
    // The lock result is not used: the effect test has told the user already.
    if (ctx.settings.Lock1 != 0 || ctx.settings.Lock2 != 0 || ctx.settings.Lock3 != 0) ProgramLockBits(ctx);
    ctx.feedback.ShowInfo("Keine Fehler beim Prüfen");
  }
  ctx.link.PowerDown();
  return result;
}

}  // namespace tav
