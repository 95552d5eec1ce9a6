#pragma once
// What each sheet of an .xlsx workbook holds, read back by sheet_summary.py beside this
// file (python3's standard zip module; no spreadsheet program): per sheet its name, last
// row number, heading, the numbers of column A and the texts below the heading.
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

inline QJsonArray sheetsOf(const QString& workbook)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) qWarning("python3 is missing (scripts/install-deps installs it)");
    QProcess p;
    p.start(python, {QStringLiteral(TARNWELL_SHEET_SUMMARY), workbook});
    if (!p.waitForFinished(300000) || p.exitCode() != 0) {
        qWarning("%s", p.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}
