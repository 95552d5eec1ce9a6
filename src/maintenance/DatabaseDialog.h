#pragma once
#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The Database dialog: where Tarnwell's data lives. It shows the database in use and lets
// the user choose a database file (browsing for it), a team database on a PostgreSQL
// server (its address), or the account's own database file. It is reached from the
// Utilities page and from the message that a chosen database could not be opened. Every
// box goes through the Messages seam; the file is picked through a replaceable chooser.
namespace DatabaseDialog {

// Asks where the data is to be. heading introduces the database shown ("The database in
// use:"). Returns the target checked by DatabaseChoice::check (an empty text: the
// account's own file), or nullopt when the user cancelled. A password written into a
// server address is kept in memory for this run only, and the user is told so.
std::optional<QString> ask(QWidget* parent, const QString& now, const QString& heading);

// How the user picks a database file; tests replace it (an empty text means cancelled).
using FileChooser = std::function<QString(QWidget* parent, const QString& startFolder)>;
void setFileChooser(FileChooser chooser);

}  // namespace DatabaseDialog
