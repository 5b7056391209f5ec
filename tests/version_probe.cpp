// SPDX-License-Identifier: GPL-2.0-or-later
// Does nothing: it exists to carry the version record under the program's
// own name, for version_test.
int main() { return 0; }
