#pragma once
#include <QString>

class QWidget;

// The box that ends an output written to a file: "Saved to " and the file's path, an
// "Open folder" button (cmdOpenFolder) that opens the folder holding the file with the
// desktop's default program, and a Close button that Enter and Escape press. Under a
// message script the box is answered by the script (choice 0 opens the folder). An
// outcome given ("Backup was successful") is a line of its own above "Saved to".
void showSavedTo(QWidget* parent, const QString& title, const QString& path, const QString& outcome = QString());

namespace SavedTo {
// The box's text and buttons, shared by the real box and the scripted one.
QString text(const QString& path, const QString& outcome = QString());
inline constexpr int OpenFolderChoice = 0;
inline constexpr int CloseChoice = 1;
}  // namespace SavedTo
