#pragma once
#include <QByteArray>
#include <QString>

class WebContext;
namespace httplib {
class Server;
}

// The pages' own files, compiled into the program (src/web/static/), under /static/NAME,
// and the chart library's files from the folder its Debian package installs under
// /static/dygraphs/NAME. A name is looked up among the files that exist, never joined to a
// path as given: "..", slashes and the like find nothing.
void addStaticRoutes(httplib::Server& http, WebContext& ctx);

namespace WebStatic {
// The folder of the chart library's files: TARNWELL_DYGRAPHS_DIR from the environment,
// else the one the program was built with.
QString dygraphsFolder();
// The content type of a file by its name.
const char* contentType(const QString& name);
// The bytes of a compiled-in file of src/web/static/ (null when there is none).
QByteArray builtInFile(const QString& name);
}  // namespace WebStatic
