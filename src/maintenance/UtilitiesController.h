#pragma once
#include <QObject>

class frmTarnwell;
struct Shared;
class QWidget;

// The "9. Utilities" page: the sensor filter, backup, restore, the report, help and links;
// and the compaction of the database at shutdown.
class UtilitiesController : public QObject {
    Q_OBJECT
public:
    explicit UtilitiesController(frmTarnwell& win);
    QWidget* page() const { return m_page; }

    // Compacts folder + file (folder ends with "/"). Called when the program ends.
    void compactDatabase(const QString& folder, const QString& fileName);
    // Refreshes lstFiles with the files of the backup folder.
    void ListBackups();
    // The About window (frmSplash), modal.
    void showAbout();

private:
    frmTarnwell& m_win;
    Shared& m_s;
    QWidget* m_page = nullptr;
};
