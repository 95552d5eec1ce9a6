#pragma once
#include "data/AlarmPlans.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// The pieces every page of the web view is made of: text made safe for HTML, the links to a
// sensor's page, the state's coloured mark and the frame of a page with its header.
namespace PageHtml {

// Who is looking, as the header and the forms need it.
struct Viewer {
    QString user;                 // empty: nobody logged in (the open view of a database file)
    bool canAcknowledge = false;  // the acknowledge form is shown
    bool canLogOut = false;       // a login session that may be ended
    QByteArray csrf;              // the session's form token
};

// Text from the database (or anywhere else) as it may stand in an element or a quoted
// attribute: & < > " ' replaced by their entities.
QString escaped(const QString& text);

// "/sensor/BOLT%2001": the path of a sensor's page, the id percent-encoded.
QString sensorPath(const QString& sensorId);

// The state's mark: its word on its colour (the desktop's colours), readable on each.
QString stateMark(const QString& word, const QString& colour);

// "3 h ago", "12 days ago"; empty when there is no reading.
QString ageText(std::optional<double> days);

// A number with two decimals; empty for a missing value.
QString numberText(std::optional<double> value);

// "Response plan (Action, all sensors): what to do. Who is called: whom"
QString planText(const AlarmPlans::Plan& plan);

// A whole page: the head (viewport for phones, the style sheet), the header with the
// links, who is logged in and the log-out form, the body given, then the scripts named
// (paths under /static/).
QString document(const QString& title, const Viewer& viewer, const QString& body, const QStringList& scripts = {});

}  // namespace PageHtml
