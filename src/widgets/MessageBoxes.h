#pragma once

// The real modal boxes behind the messages seam (core/Messages.h): a QMessageBox for a
// message, a QInputDialog for a prompt, over the active window.
namespace MessageBoxes {

// Installs the real boxes unless some are installed already. The main window calls it when
// it is made, so the program always shows real boxes when no test script answers them.
void install();

}  // namespace MessageBoxes
