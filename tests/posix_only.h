// SPDX-License-Identifier: GPL-2.0-or-later
// Test cases that rest on what only POSIX systems have (file rights and
// symbolic links as POSIX knows them, signals, pseudo terminals, resource
// limits) are skipped on Windows with their reason, never dropped silently.
#pragma once

#include <gtest/gtest.h>

#ifdef _WIN32
#define TAV_POSIX_ONLY(reason) GTEST_SKIP() << "POSIX only: " << (reason)
#else
#define TAV_POSIX_ONLY(reason) static_cast<void>(0)
#endif
