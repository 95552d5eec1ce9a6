#include "readings/ReadingsController.h"
#include "core/ErrorTrap.h"
#include "core/Paths.h"
#include "data/SensorData.h"
#include "readings/ReadingFormats.h"
#include "session/Shared.h"
#include "widgets/PageHost.h"

#include <QFile>
#include <QLineEdit>

ReadingsController::ReadingsController(PageHost& win) : QObject(win.widget()), m_win(win), m_s(win.shared())
{
    clock = [] { return QDateTime::currentDateTime(); };
    buildPage();
}

bool ReadingsController::hasReadings() const
{
    return m_s.rsReadings && m_s.rsReadings->isOpen() && m_s.rsReadings->recordCount() > 0;
}

void ReadingsController::showCount()
{
    Recordset* rs = m_s.rsReadings.get();
    if (!rs || !rs->isOpen()) return;
    const qint64 count = rs->recordCount();
    if (count == 0) {
        txtRcount->setText(ReadingFormats::countText(0, 0));
        return;
    }
    txtRcount->setText(ReadingFormats::countText(rs->absolutePosition(), count));
}

void ReadingsController::rememberBookmark()
{
    if (m_s.rsReadings && m_s.rsReadings->isOpen() && m_s.rsReadings->hasCurrentRow())
        m_s.savedReadingBookmark = m_s.rsReadings->bookmark();
}

bool ReadingsController::leaveReadingsTab()
{
    // Each step is skipped on failure, as the tab change does. The reading shown once it
    // is left is the one shown again (a removed new reading's neighbour).
    bool saved = true;
    ignoringErrors([&] { saved = leaveReading(); });
    if (saved) ignoringErrors([&] { rememberBookmark(); });
    return saved;
}

void ReadingsController::enterReadingsTab()
{
    m_newReading = 0;
    if (m_s.currentSensorId().isEmpty()) {
        // No sensor: no readings to show (and none of an earlier sensor).
        ignoringErrors([&] { m_s.rsReadings.reset(); });
        clearReading();
        txtRcount->setText(ReadingFormats::countText(0, 0));
        return;
    }
    ignoringErrors([&] { SessionData::OpenSensorData(m_s); });
    ignoringErrors([&] {
        Recordset* rs = m_s.rsReadings.get();
        if (!rs || !rs->isOpen()) {
            fillreadings();
            return;
        }
        if (rs->recordCount() > 0) {
            // The reading shown when the tab was last left, or the latest one. A saved
            // reading that no longer exists (deleted meanwhile) also gives the latest.
            if (m_s.savedReadingBookmark == 0 || !rs->setBookmark(m_s.savedReadingBookmark)) rs->moveLast();
            fillreadings();
            showCount();
        } else {
            txtRcount->setText(ReadingFormats::countText(0, 0));
            fillreadings();
            m_s.savedReadingBookmark = 0;
        }
    });
    // A working copy left by a logger import is removed (read-only files are not forced).
    ignoringErrors([&] {
        const QString working = m_s.dataFolder.isEmpty() ? Paths::dataFolder() + QStringLiteral("/datafile.txt")
                                                         : m_s.dataFolder + QStringLiteral("/datafile.txt");
        QFile f(working);
        if (f.exists() && (f.permissions() & QFileDevice::WriteUser)) f.remove();
    });
}
