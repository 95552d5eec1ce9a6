#pragma once
#include "web/WebCache.h"
#include "web/WebConnections.h"
#include "web/WebServer.h"

class Database;
class WebAuth;
namespace httplib {
struct Request;
}

// What the request handlers share.
class WebContext {
public:
    explicit WebContext(const WebOptions& o);

    WebOptions options;
    WebConnections connections;
    WebCache cache;
    WebAuth* auth = nullptr;

    // Who is asking: the logged-in person's database login on a server; the program's own
    // (an empty user) on a file.
    Credentials credentialsOf(const httplib::Request& req) const;
    // The connection for this request, as the logged-in person (file: the program's own).
    // Throws TwError when it cannot be opened.
    Database& db(const httplib::Request& req);
};
