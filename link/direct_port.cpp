// SPDX-License-Identifier: GPL-2.0-or-later
#include "link/direct_port.h"

#include <cerrno>

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
#define TAVROLITH_HAS_PORT_INSTRUCTIONS 1
#include <sys/io.h>
#endif

namespace tav {

namespace {

int SystemIoperm(unsigned long from, unsigned long count, int turnOn) {
#ifdef TAVROLITH_HAS_PORT_INSTRUCTIONS
  return ioperm(from, count, turnOn);
#else
  (void)from;
  (void)count;
  (void)turnOn;
  errno = ENOSYS;
  return -1;
#endif
}

}  // namespace

DirectPort::DirectPort(uint16_t base, IopermFunction ioperm)
    : base_(base), ioperm_(ioperm ? ioperm : SystemIoperm) {}

DirectPort::~DirectPort() {
  if (granted_) ioperm_(base_, 3, 0);
}

int DirectPort::Open() {
#ifndef TAVROLITH_HAS_PORT_INSTRUCTIONS
  // Without port instructions a granted range would be of no use.
  return ENOSYS;
#else
  errno = 0;
  if (ioperm_(base_, 3, 1) != 0) return errno ? errno : EPERM;
  granted_ = true;
  return 0;
#endif
}

void DirectPort::Out(uint16_t address, uint8_t value) {
  if (!Granted(address)) return;
#ifdef TAVROLITH_HAS_PORT_INSTRUCTIONS
  outb(value, address);
#else
  (void)value;
#endif
}

uint8_t DirectPort::In(uint16_t address) {
  if (!Granted(address)) return 0xFF;
#ifdef TAVROLITH_HAS_PORT_INSTRUCTIONS
  return inb(address);
#else
  return 0xFF;
#endif
}

}  // namespace tav
