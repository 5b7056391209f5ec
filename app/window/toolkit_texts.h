// SPDX-License-Identifier: GPL-2.0-or-later
// The toolkit's own texts (file dialogs, standard buttons) in German, like
// every text of the program, whatever language the desktop is set to.
#pragma once

class QCoreApplication;

namespace tav::window {

// Loads the toolkit's German translations from where the toolkit keeps
// them. False when they are not installed: the texts stay English.
bool UseGermanToolkitTexts(QCoreApplication& app);

}  // namespace tav::window
