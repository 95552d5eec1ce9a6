#include "web/WebProfiles.h"
#include "web/WebJson.h"

namespace WebProfiles {

QByteArray json(Database&, const SensorDetails&, const QString& kind, std::optional<double>)
{
    JsonWriter w;
    w.beginObject().member("kind", kind).key("positions").beginArray().endArray();
    w.key("profiles").beginArray().endArray().endObject();
    return w.take();
}

}  // namespace WebProfiles
