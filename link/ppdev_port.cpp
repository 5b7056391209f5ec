// SPDX-License-Identifier: GPL-2.0-or-later
#include "link/ppdev_port.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef __linux__
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace tav {

PpdevPort::~PpdevPort() {
#ifdef __linux__
  if (claimed_) ioctl(fd_, PPRELEASE);
  if (fd_ >= 0) close(fd_);
#endif
}

int PpdevPort::Open(const std::string& device) {
  device_ = device;
#ifdef __linux__
  fd_ = open(device.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) {
    failedStep_ = "open";
    return errno;
  }
  if (ioctl(fd_, PPCLAIM) != 0) {
    const int error = errno;
    failedStep_ = "claim";
    close(fd_);
    fd_ = -1;
    return error;
  }
  claimed_ = true;
  return 0;
#else
  failedStep_ = "open";
  return ENOSYS;
#endif
}

void PpdevPort::Out(uint16_t address, uint8_t value) {
#ifdef __linux__
  if (!claimed_) return;
  unsigned char byte = value;
  // The driver writes these registers unchanged: the register number in
  // control bits 1..3 and the strobe in bit 0 reach the board as given.
  if (address == base_) ioctl(fd_, PPWDATA, &byte);
  else if (address == base_ + 2) ioctl(fd_, PPWCONTROL, &byte);
#else
  (void)address;
  (void)value;
#endif
}

uint8_t PpdevPort::In(uint16_t address) {
#ifdef __linux__
  unsigned char byte = 0xFF;
  if (claimed_ && address == base_ + 1) ioctl(fd_, PPRSTATUS, &byte);
  return byte;
#else
  (void)address;
  return 0xFF;
#endif
}

std::optional<uint32_t> ParseBaseAddr(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i == text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + uint64_t(text[i] - '0');
    if (value > 0xFFFFFFFFu) return std::nullopt;
  }
  // The number must end at a separator; "888abc" is not an address.
  if (i < text.size() && text[i] != '\t' && text[i] != ' ' && text[i] != '\n') return std::nullopt;
  return uint32_t(value);
}

std::string FindPpdevForBase(uint16_t base, const std::string& procRoot, const std::string& devRoot) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(procRoot, ec);
  if (ec) return {};
  // Directory order is arbitrary; take the lowest matching port number so
  // that the choice is the same on every run.
  long best = -1;
  for (const fs::directory_entry& entry : it) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("parport", 0) != 0 || name.size() == 7) continue;
    char* end = nullptr;
    const long number = std::strtol(name.c_str() + 7, &end, 10);
    if (*end != '\0' || number < 0) continue;
    std::ifstream in(entry.path() / "base-addr");
    if (!in) continue;
    std::stringstream content;
    content << in.rdbuf();
    const std::optional<uint32_t> address = ParseBaseAddr(content.str());
    if (!address || *address != base) continue;
    if (!fs::exists(fs::path(devRoot) / name, ec)) continue;
    if (best < 0 || number < best) best = number;
  }
  if (best < 0) return {};
  return (fs::path(devRoot) / ("parport" + std::to_string(best))).string();
}

}  // namespace tav
