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

    bool ReadingValid();
    void SaveReadings();

private:
    frmTarnwell& m_win;
    Shared& m_s;
    QWidget* m_page = nullptr;
};
