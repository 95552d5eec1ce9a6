#include "web/WebContext.h"

#include <httplib.h>

WebContext::WebContext(const WebOptions& o) : options(o), connections(o.database) {}

Credentials WebContext::credentialsOf(const httplib::Request& req) const
{
    Q_UNUSED(req);
    // LOGINS: until the logins are in place every request is the program's own. With them,
    // the session of the request (auth->sessionOf(req)) gives the person's credentials.
    return Credentials{};
}

Database& WebContext::db(const httplib::Request& req) { return connections.forThisThread(credentialsOf(req)); }
