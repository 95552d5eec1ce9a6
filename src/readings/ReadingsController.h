#pragma once
#include <QObject>

class frmTarnwell;
struct Shared;
class QLabel;
class QWidget;

// The "3. Readings" page: the current reading's display, navigation, entry, validation,
// re-dating and deletion, and the reading boxes' set-up for the sensor's type.
class ReadingsController : public QObject {
    Q_OBJECT
public:
    explicit ReadingsController(frmTarnwell& win);
    QWidget* page() const { return m_page; }

    QLabel* lblError = nullptr;

    // Sets up the reading boxes for the current Configuration row (the sensor's type).
    void ConfigureForm();
    void fillreadings();
    void CheckFutureDate();
    bool ReadingValid();
    void SaveReadings();
    bool DupID(const QString& key);
    void CheckDateTime();
    // The tab change's Readings side: entering opens the readings and shows the saved
    // (or the last) reading; leaving keeps the bookmark and saves the reading on screen.
    void enterReadingsTab();
    void leaveReadingsTab();
    // txtRcount := "<position> of <count>".
    void showCount();

private:
    frmTarnwell& m_win;
    Shared& m_s;
    QWidget* m_page = nullptr;
};
