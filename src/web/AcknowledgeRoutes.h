#pragma once

namespace httplib {
class Server;
}
class WebContext;
class Database;

// The routes of logging in and out, the session's own answer and the one change the web
// view makes, acknowledging alarms:
//   GET /login, POST /login, POST /logout
//   GET /api/session → {"user","canAcknowledge","readOnly","csrf"}
//   POST /api/alarms/acknowledge (form or JSON {"ids":[…],"note":"…","csrf":"…"}, the token
//        also as header X-CSRF-Token) → {"acknowledged":n}
//   POST /alarms/acknowledge (the Alarms page's form: ids, note, csrf) → 303 to /alarms
void addAuthRoutes(httplib::Server& server, WebContext& context);

// Whether the connection's login may write acknowledgements (a file: always; a server:
// when its role may update the tables an acknowledgement writes).
bool mayAcknowledge(Database& db);
