// Port access on 32-bit Windows: the in and out instructions themselves. On
// the DOS-based family they are always allowed; on the NT family only after
// the giveio driver has been opened once by this process (SetupPortAccess in
// windows_port.cpp installs and starts it when needed).
#pragma once

#ifdef _WIN32

#include <cstdint>
#include <string>

#include "link/port_io.h"

namespace tav {

class WindowsPort : public PortIo {
public:
  void Out(uint16_t address, uint8_t value) override;
  uint8_t In(uint16_t address) override;
};

struct OsIdentity {
  int OsCode = 0;      // 1..8 by the table of known systems; 0 = not recognised
  int Platform = 0;    // 1 = DOS-based family, 2 = NT family, else unknown
  std::string OsName;  // shown only in debug mode
  bool ok = false;     // the version information could be read
};

OsIdentity IdentifyOperatingSystem();

}  // namespace tav

#endif  // _WIN32
