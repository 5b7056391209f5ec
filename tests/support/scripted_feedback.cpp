// SPDX-License-Identifier: GPL-2.0-or-later
// The double lives wholly in its header; this unit gives the support library
// its one source and shows that the header compiles on its own.
#include "tests/support/scripted_feedback.h"
