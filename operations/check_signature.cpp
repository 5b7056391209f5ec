// SPDX-License-Identifier: GPL-2.0-or-later
// The signature check of the operation frame: the chip's identification
// bytes against the current device record.
#include <array>

#include "base/feedback.h"
#include "library/device_record.h"
#include "link/programmer_link.h"
#include "operations/operation_frame.h"
#include "operations/operations.h"

namespace tav {

namespace {

struct SignatureRow {
  uint32_t address;
  uint8_t DeviceRecord::*field;
  const char* reportLine;
};

// Read and reported in this order (not in address order).
constexpr std::array<SignatureRow, 7> kSignatureRows{{
    {0x000, &DeviceRecord::ManufacturerId000, "Hersteller-ID(0x000)\tRichtig:0x%02X\tGelesen:0x%02X\n"},
    {0x030, &DeviceRecord::ManufacturerId030, "Hersteller-ID(0x30)\tRichtig:0x%02X\tGelesen:0x%02X\n"},
    {0x031, &DeviceRecord::DeviceId031, "Baustein-ID(0x31)\tRichtig:0x%02X\tGelesen:0x%02X\n"},
    {0x100, &DeviceRecord::DeviceId100, "Baustein-ID(0x100)\tRichtig:0x%02X\tGelesen:0x%02X\n"},
    {0x032, &DeviceRecord::DeviceId032, "Baustein-ID(0x32)\tRichtig:0x%02X\tGelesen:0x%02X\n"},
    {0x200, &DeviceRecord::DeviceId200, "Baustein-ID(0x200)\tRichtig:0x%02X\tGelesen:0x%02X\n"},
    {0x060, &DeviceRecord::DeviceId060, "Baustein-ID(0x60)\tRichtig:0x%02X\tGelesen:0x%02X\n"},
}};

// 20-pin parts have no signature addresses: their two bytes are the first
// two that the internal counter presents in signature mode.
int CheckDip20Signature(OperationContext& ctx) {
  const uint8_t first = ctx.link.ReadDataByte();
  ctx.link.StepAddressCounter();
  const uint8_t second = ctx.link.ReadDataByte();
  if (first == ctx.device.ManufacturerId000 && second == ctx.device.DeviceIdDip20) return kSuccess;
  if (ctx.link.BoardLost()) return kHandshakeTimeout;  // stale bytes prove nothing
  ctx.feedback.ShowInfo(FormatText(
      "Prozessor-ID's stimmen nicht !!!\n\nRichtig: Hersteller-ID 0x%02X\tBaustein-ID 0x%02X\n"
      "Gelesen: Hersteller-ID 0x%02X\tBaustein-ID 0x%02X\n",
      ctx.device.ManufacturerId000, ctx.device.DeviceIdDip20, first, second));
  return kSignatureMismatch;
}

// On 40-pin parts a field of 0 means "not compared": the byte is not read.
int CheckDip40Signature(OperationContext& ctx) {
  std::string lines;
  bool mismatch = false;
  for (const SignatureRow& row : kSignatureRows) {
    const uint8_t expected = ctx.device.*row.field;
    if (expected == 0) continue;
    ctx.link.SetAddress(row.address, 0);
    const uint8_t read = ctx.link.ReadDataByte();
    if (read != expected) mismatch = true;
    lines += FormatText(row.reportLine, expected, read);
  }
  if (!mismatch) return kSuccess;
  if (ctx.link.BoardLost()) return kHandshakeTimeout;  // stale bytes prove nothing
  ctx.feedback.ShowInfo("Eine Prozessor ID stimmt nicht !\n\n" + lines);
  return kSignatureMismatch;
}

}  // namespace

int CheckSignature(OperationContext& ctx) {
  if (ctx.device.IsDip20()) ctx.link.ResetAddressCounter();
  ctx.link.SetAddress(0, 0);
  ctx.link.SetMode(kModeReadSignature);
  // 0xFF releases the data lines so that the chip can drive them.
  ctx.link.SetData(0xFF);
  ctx.link.SettlingWrites(3);
  return ctx.device.IsDip20() ? CheckDip20Signature(ctx) : CheckDip40Signature(ctx);
}

}  // namespace tav
