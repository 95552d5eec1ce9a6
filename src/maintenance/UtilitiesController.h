#pragma once
#include "database/DatabaseFiles.h"
#include "maintenance/FilterCriteria.h"

#include <QDate>
#include <QObject>

class PageHost;
struct Shared;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QToolButton;
class QWidget;

// The "9. Utilities" page: the sensor filter, backup, restore, the report, help and links;
// and the compaction of the database at shutdown.
class UtilitiesController : public QObject {
    Q_OBJECT
public:
    explicit UtilitiesController(PageHost& win);
    QWidget* page() const { return m_page; }

    // The maker's web address opened by "Visit the Orrisford website".
    static const QString WebAddress;

    // Compacts folder + file (folder ends with "/"). Called when the program ends.
    void compactDatabase(const QString& folder, const QString& fileName);
    // Refreshes lstFiles with the files of the backup folder.
    void ListBackups();
    // The About window (the window's), modal.
    void showAbout();

    // Filter.
    void onFilterClicked();
    void AddFilter(const FilterCriteria::Criteria& criteria);
    void RemoveFilter();

    // Backup and restore.
    void onBackupClicked();
    void onRestoreClicked();
    void GBackupDB(const QString& folder, const QString& fileName);
    // False when the restore failed or was cancelled (told; the database file is then
    // unchanged). True when the file was replaced: the caller says so once it is open.
    bool GRestoreDB(const QString& folder, const QString& fileName, const QString& backupName);
    // Restore of a team database on a server from a backup file (one server transaction);
    // returns as GRestoreDB does.
    bool restoreServer(const QString& backupPath, const QString& backupName);
    // Opens the connection and the shared recordsets again, as start-up does.
    void reopenDatabase();
    // The Database dialog: another database chosen is checked on a connection of its own,
    // then remembered and opened at once in place of the one in use (which stays when the
    // chosen one cannot be used).
    void onDatabaseClicked();

    // Report (the window's), help and links.
    void onReportClicked();
    void onHelpClicked();
    // Opens the error log with the desktop's program for text files.
    void onOpenLogClicked();
    void onWebsiteClicked();

    // Controls.
    QCheckBox* chkDontShowDestroyed = nullptr;
    QComboBox* txtFilterType = nullptr;
    QLineEdit* txtFilterLevel = nullptr;
    QLineEdit* txtFilterLocation = nullptr;
    QLineEdit* txtStartDate = nullptr;
    QLineEdit* txtEndDate = nullptr;
    QToolButton* imgFilter = nullptr;
    QLabel* lblFilterState = nullptr;
    QLabel* lblFilter = nullptr;
    QLabel* imgApplyFilter = nullptr;
    QLabel* imgRemoveFilter = nullptr;
    QListWidget* lstFiles = nullptr;

    // Hooks handed to the backup, restore and compaction file work (tests inject failures).
    DatabaseFiles::Hooks fileHooks;
    // The day a backup is named after (tests set it; empty: today).
    QDate backupDay;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildFilterBox();
    QWidget* buildBackupBox();
    QWidget* buildOutputBox();
    void showFilterState(bool inForce);
    // The type entries of the Configuration table ("75: d6HALYX"), in code order; empty
    // when it cannot be read.
    QStringList configuredTypes();
    // Offers those types in txtFilterType, keeping its text.
    void fillTypeList();
    void checkDateBox(QLineEdit* box);
    void flushPendingEdits();
    // Copies the open database into the backup folder under fileName before a restore;
    // false (the user told why) when it was not made.
    bool backupBeforeRestore(const QString& backupFolder, const QString& fileName);
    void closeDatabase();

    PageHost& m_win;
    Shared& m_s;
    QWidget* m_page = nullptr;
    bool m_checkingDate = false;
};
