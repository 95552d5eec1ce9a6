#include "core/Desktop.h"
#include <QDesktopServices>
#include <QUrl>

namespace Desktop {
namespace {
Recorder* g_recorder = nullptr;
}
void installRecorder(Recorder* recorder) { g_recorder = recorder; }

bool openUrl(const QString& url)
{
    if (g_recorder) {
        g_recorder->requests << url;
        return g_recorder->answer;
    }
    return QDesktopServices::openUrl(QUrl(url));
}

bool openFile(const QString& path)
{
    if (g_recorder) {
        g_recorder->requests << path;
        return g_recorder->answer;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
}  // namespace Desktop
