#pragma once
#include <QDialog>

class Database;
class QCheckBox;
class QLineEdit;
class QTableWidget;

// The team's alarm notification settings: the mail server, the sender and whether TLS is
// required, the command hook, the reminder and cool-down times, the recipients per level
// and group of sensors, and the response plan per level and group. Saved in the database;
// "Send a test message" sends with what is typed, before saving.
class NotificationSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit NotificationSettingsDialog(Database& db, QWidget* parent = nullptr);

    void onSendTestClicked();
    bool save();  // false when something typed is refused (said so)

    QLineEdit* txtSmtpUrl = nullptr;
    QLineEdit* txtSmtpUser = nullptr;
    QLineEdit* txtSmtpFrom = nullptr;
    QCheckBox* chkRequireTls = nullptr;
    QLineEdit* txtHook = nullptr;
    QLineEdit* txtReminderHours = nullptr;
    QLineEdit* txtCooldownMinutes = nullptr;
    QLineEdit* txtWebAddress = nullptr;
    QTableWidget* grdRecipients = nullptr;
    QTableWidget* grdPlans = nullptr;

private:
    Database& m_db;
};
