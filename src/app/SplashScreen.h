#pragma once
#include <QDialog>

class QLabel;
class QPushButton;

// The About window: the product's name, its version, how to reach the maker, a picture
// and one button that closes the window.
class SplashScreen : public QDialog {
    Q_OBJECT
public:
    explicit SplashScreen(QWidget* parent = nullptr);

    QLabel* lblVersion = nullptr;
    QPushButton* cmdOk = nullptr;

    // "Version " + major.minor.revision.
    static QString versionCaption();

private:
    void showVersion();
};
