#include "web/WebContext.h"

#include "web/WebAuth.h"

#include <httplib.h>

WebContext::WebContext(const WebOptions& o) : options(o), connections(o.database) {}

Credentials WebContext::credentialsOf(const httplib::Request& req) const
{
    // The session of the request gives the person's database login (on a file: none, the
    // program's own).
    if (auth)
        if (const auto session = auth->sessionOf(req)) return session->credentials;
    return Credentials{};
}

Database& WebContext::db(const httplib::Request& req) { return connections.forThisThread(credentialsOf(req)); }
