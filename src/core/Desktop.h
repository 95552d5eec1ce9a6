#pragma once
#include <QString>
#include <QStringList>

// Opening a file or an address with the desktop's default program. Tests install a
// recorder so nothing is opened; the caller tells the user when nothing could open it.
namespace Desktop {
bool openFile(const QString& path);
bool openUrl(const QString& url);

struct Recorder {
    QStringList requests;  // local file paths or addresses, in order
    bool answer = true;    // what the open call reports
};
void installRecorder(Recorder* recorder);  // nullptr removes it
}  // namespace Desktop
