// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/session/batch_run.h"

#include <cinttypes>
#include <cstdio>

#include "app/session/batch_files.h"
#include "app/session/session.h"
#include "base/feedback.h"
#include "files/program_files.h"
#include "operations/command_frame.h"

namespace tav {

namespace {

// The run's own marker stands for every chip's frame: taken once before the
// first chip and given back after the last, so that no other copy can take
// the board while the user swaps chips.
class HeldMarker : public BusyMarker {
public:
  int IsBusy() override { return kSuccess; }
  int Acquire() override { return kSuccess; }
  void Release() override {}
};

// The front end's hooks, with the chip's serial put into the freshly loaded
// image and the burnt memory's checksum taken from it.
class ChipHooks : public CommandFrameHooks {
public:
  ChipHooks(CommandFrameHooks& inner, Session& session, const BatchOptions& options, const BatchChip& chip)
      : inner_(inner), session_(session), options_(options), chip_(chip) {}

  int ChooseProgramFile() override { return inner_.ChooseProgramFile(); }
  int ProgramFileFormat() const override { return inner_.ProgramFileFormat(); }
  void DisableControls() override { inner_.DisableControls(); }
  void EnableControls() override { inner_.EnableControls(); }
  void RaisePriority() override { inner_.RaisePriority(); }
  void RestorePriority() override { inner_.RestorePriority(); }

  int PrepareImage() override {
    ProgramImage& image = session_.Image();
    const DeviceRecord& device = session_.Device();
    if (options_.serial && chip_.serial) {
      const BatchSerial& serial = *options_.serial;
      // The file is read again for every chip, as for every "Brennen"; it
      // may have changed since the run began.
      const std::string problem = SerialPlacementProblem(serial.address, serial.format, device, image,
                                                         session_.CurrentSettings().ProgramFilePath);
      if (!problem.empty()) {
        session_.UserFeedback().ShowInfo(problem);
        return kBatchRefused;
      }
      PatchSerial(image, serial.address, EncodeSerial(*chip_.serial, serial.format));
    }
    crc = DeviceImageCrc32(image, device.SizeBytes);
    return inner_.PrepareImage();
  }

  uint32_t crc = 0;

private:
  CommandFrameHooks& inner_;
  Session& session_;
  const BatchOptions& options_;
  const BatchChip& chip_;
};

std::string SerialRange(const BatchSerial& serial, uint64_t first, uint64_t last) {
  const std::string numbers = first == last ? " " + std::to_string(first) + " passt"
                                            : "n " + std::to_string(first) + " bis " + std::to_string(last) + " passen";
  return "Die Seriennummer" + numbers + " nicht in das Format " + serial.format.Name() + " (höchstens " +
         std::to_string(serial.format.MaxValue()) + ").";
}

class BatchRun {
public:
  BatchRun(Session& session, const BatchOptions& options, BusyMarker& busy, CommandFrameHooks& hooks,
           BatchSummary& summary, const std::function<void(const BatchChip&)>& chipDone)
      : session_(session),
        feedback_(session.UserFeedback()),
        options_(options),
        busy_(busy),
        hooks_(hooks),
        summary_(summary),
        chipDone_(chipDone) {}

  int Run() {
    summary_ = {};
    if (session_.DemoMode() != 0) {
      feedback_.ShowInfo(kDemoMessage);
      return summary_.status = kDemoModeRefused;
    }
    if (busy_.Acquire() != kSuccess) return summary_.status = kBusy;
    int status = Prepare();
    if (status == kSuccess) status = Chips();
    busy_.Release();
    return summary_.status = status;
  }

private:
  // Everything that can be refused before the first chip.
  int Prepare() {
    int result = session_.Library().LoadSelectedDevice();
    if (result != kSuccess) return result;
    Settings& settings = session_.CurrentSettings();
    result = LoadProgramFile(settings.ProgramFilePath, session_.Device().SizeBytes, settings.TestChecksum == 1,
                             session_.Image(), settings.DataFormat, feedback_, hooks_.ProgramFileFormat());
    if (result != kSuccess) return result;
    if (options_.serial) {
      const BatchSerial& serial = *options_.serial;
      const std::string problem = SerialPlacementProblem(serial.address, serial.format, session_.Device(),
                                                         session_.Image(), settings.ProgramFilePath);
      if (!problem.empty()) return Refuse(problem);
      next_ = serial.start;
      if (!serial.file.empty()) {
        std::optional<uint64_t> stored;
        result = ReadSerialFile(serial.file, feedback_, stored);
        if (result != kSuccess) return result;
        if (stored) next_ = *stored;
      }
      const uint64_t last = options_.count ? next_ + uint64_t(*options_.count - 1) * serial.step : next_;
      if (last > serial.format.MaxValue()) return Refuse(SerialRange(serial, next_, last));
    }
    if (!options_.logPath.empty()) return AppendLogLine(options_.logPath, "", feedback_);
    return kSuccess;
  }

  int Refuse(const std::string& text) {
    feedback_.ShowInfo(text);
    return kBatchRefused;
  }

  int Chips() {
    int firstFailure = kSuccess;
    for (uint32_t number = 1; !options_.count || number <= *options_.count; ++number) {
      // A cancel request that came between two chips (Ctrl+C, "Abbrechen")
      // ends the run here, before another number is spent.
      feedback_.PumpMessages();
      if (feedback_.CancelRequested() != 0) {
        feedback_.SetCancelRequested(0);
        summary_.endedByUser = true;
        break;
      }
      BatchChip chip;
      chip.number = number;
      int ended = Reserve(chip);
      if (ended != kSuccess) return ended;
      ended = RunChip(chip);
      if (summary_.endedByUser) break;
      if (ended != kSuccess) return ended;
      if (chip.result != kSuccess && firstFailure == kSuccess) firstFailure = chip.result;
      if (chip.cancelled || (chip.result != kSuccess && options_.stopOnError)) break;
    }
    if (firstFailure != kSuccess) return firstFailure;
    const uint32_t chips = summary_.good + summary_.failed + summary_.cancelled;
    const bool complete = chips > 0 && (!options_.count || chips == *options_.count);
    return complete ? kSuccess : kOperationFailed;
  }

  // The chip's serial, written to the serial file as used before the chip
  // can be burnt.
  int Reserve(BatchChip& chip) {
    if (!options_.serial) return kSuccess;
    const BatchSerial& serial = *options_.serial;
    if (next_ > serial.format.MaxValue()) return Refuse(SerialRange(serial, next_, next_));
    chip.serial = next_;
    if (!serial.file.empty()) return StoreSerialFile(serial.file, next_ + serial.step, feedback_);
    return kSuccess;
  }

  // One chip through the command frame. Returns nonzero when the run must
  // end before the next chip for a reason that is not the chip's.
  int RunChip(BatchChip& chip) {
    session_.InsertFreshChip(chip.number);
    PromptNotes notes;
    notes.heading = "Baustein " + std::to_string(chip.number) + " einsetzen";
    if (chip.serial) notes.heading += " (Seriennummer " + std::to_string(*chip.serial) + ")";
    uint64_t startNs = 0;
    bool confirmed = false;
    notes.confirmed = [&] {
      confirmed = true;
      startNs = session_.NowNs();
    };
    ChipHooks hooks(hooks_, session_, options_, chip);
    HeldMarker held;
    const int result = session_.RunCommand(Command::Program, held, hooks, &notes);
    if (!confirmed) {
      // Nothing reached the chip: its number goes back to the file.
      if (chip.serial && !options_.serial->file.empty()) {
        const int stored = StoreSerialFile(options_.serial->file, *chip.serial, feedback_);
        if (stored != kSuccess) return stored;
      }
      if (notes.declined) {
        summary_.endedByUser = true;
        return kSuccess;
      }
      // The file, the library or the board failed before the prompt; every
      // further chip would fail the same way without ever asking.
      return result != kSuccess ? result : kOperationFailed;
    }
    chip.result = session_.CheckSimulatedHarm(result);
    chip.cancelled = notes.cancelled;
    chip.crc = hooks.crc;
    chip.seconds = double(session_.NowNs() - startNs) / 1e9;
    Count(chip);
    const int logged = Log(chip);
    if (chipDone_) chipDone_(chip);
    feedback_.SetStatus("Baustein " + std::to_string(chip.number) + " entnehmen");
    if (options_.serial) next_ = *chip.serial + options_.serial->step;
    return logged;
  }

  void Count(const BatchChip& chip) {
    if (chip.cancelled) {
      ++summary_.cancelled;
    } else if (chip.result == kSuccess) {
      ++summary_.good;
    } else {
      ++summary_.failed;
    }
    if (chip.serial) {
      if (!summary_.firstSerial) summary_.firstSerial = chip.serial;
      summary_.lastSerial = chip.serial;
    }
  }

  int Log(const BatchChip& chip) {
    if (options_.logPath.empty()) return kSuccess;
    ChipLogEntry entry;
    entry.time = IsoTimeNow();
    entry.number = chip.number;
    entry.device = session_.Device().DeviceName;
    entry.programFile = session_.CurrentSettings().ProgramFilePath;
    entry.crc = chip.crc;
    entry.serial = chip.serial;
    entry.code = chip.result;
    entry.text = ChipResultText(chip);
    entry.seconds = chip.seconds;
    return AppendLogLine(options_.logPath, LogLine(entry), feedback_);
  }

  Session& session_;
  Feedback& feedback_;
  const BatchOptions& options_;
  BusyMarker& busy_;
  CommandFrameHooks& hooks_;
  BatchSummary& summary_;
  const std::function<void(const BatchChip&)>& chipDone_;
  uint64_t next_ = 0;
};

}  // namespace

std::string ChipResultText(const BatchChip& chip) {
  if (chip.cancelled) return "abgebrochen";
  switch (chip.result) {
    case kSuccess: return "gut";
    case kVerifyFailed: return "fehlerhaft: Prüfen fand Unterschiede";
    case kOperationFailed: return "fehlerhaft: Brennen fehlgeschlagen";
    case kTimerFailed: return "fehlerhaft: Zeitgeber-Fehler";
    case kHandshakeTimeout: return "fehlerhaft: Brenner antwortet nicht";
    case kLockWithoutEffect: return "fehlerhaft: Lockbits wirken nicht";
    case kSimulatedRuleBroken: return "fehlerhaft: elektrische Regel verletzt (Simulator)";
    default: return "fehlerhaft";
  }
}

std::string ChipResultLine(const BatchChip& chip) {
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08" PRIX32, chip.crc);
  std::string line = "Baustein " + std::to_string(chip.number) + ": " + ChipResultText(chip) + " (";
  if (chip.serial) line += "Seriennummer " + std::to_string(*chip.serial) + ", ";
  line += "CRC-32 " + std::string(crc);
  if (chip.result != kSuccess) line += ", Ergebnis " + std::to_string(chip.result);
  return line + ")";
}

std::string BatchSummaryText(const BatchSummary& summary) {
  std::string text = "Bausteine gut: " + std::to_string(summary.good) +
                     ", fehlerhaft: " + std::to_string(summary.failed) +
                     ", abgebrochen: " + std::to_string(summary.cancelled);
  if (summary.firstSerial) {
    text += "; Seriennummern " + std::to_string(*summary.firstSerial) + " bis " + std::to_string(*summary.lastSerial);
  }
  return text;
}

int RunBatch(Session& session, const BatchOptions& options, BusyMarker& busy, CommandFrameHooks& hooks,
             BatchSummary& summary, const std::function<void(const BatchChip&)>& chipDone) {
  return BatchRun(session, options, busy, hooks, summary, chipDone).Run();
}

}  // namespace tav
