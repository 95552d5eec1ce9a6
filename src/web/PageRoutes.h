#pragma once

class WebContext;
namespace httplib {
class Server;
}

// The pages of the web view: the overview (/), a sensor (/sensor/ID) and the alarms
// (/alarms). Their scripts and style sheet are static files.
void addPageRoutes(httplib::Server& http, WebContext& ctx);
