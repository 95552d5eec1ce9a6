#pragma once

class WebContext;
namespace httplib {
class Server;
}

// The JSON API the pages use (every GET of /api/), and the readings as CSV.
void addApiRoutes(httplib::Server& http, WebContext& ctx);
