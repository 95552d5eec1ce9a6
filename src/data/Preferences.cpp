#include "data/Preferences.h"
#include "core/ErrorTrap.h"
#include "data/SensorData.h"
#include "session/Shared.h"

namespace SessionData {

void GetPrefs(Shared& s)
{
    runTrapped(QStringLiteral(" Module1_GetPrefs"), [&] {
        openRecordset(s, s.rsPrefs, QStringLiteral("SELECT Prefs.* FROM Prefs;"));
        s.rsPrefs->moveFirst();
        auto read = [&](const char* field, QString& into) {
            const QVariant v = s.rsPrefs->value(QLatin1String(field));
            if (v.isNull()) throw TwError(ErrNo::InvalidUseOfNull, QStringLiteral("Invalid use of Null"));
            into = s.rsPrefs->text(QLatin1String(field));
        };
        read("MineID", s.prefs.MineID);
        read("MaxY", s.prefs.MaxY);
        read("MinY", s.prefs.MinY);
        read("MinX", s.prefs.MinX);
        read("MaxX", s.prefs.MaxX);
    });
}

}  // namespace SessionData
