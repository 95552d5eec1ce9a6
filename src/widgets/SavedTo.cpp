#include "widgets/SavedTo.h"
#include "core/Desktop.h"
#include "core/Messages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace SavedTo {
QString text(const QString& path, const QString& outcome)
{
    const QString where = QStringLiteral("Saved to ") + QDir::toNativeSeparators(path);
    return outcome.isEmpty() ? where : outcome + QStringLiteral("\r\n") + where;
}
}  // namespace SavedTo

namespace {

QString openFolderLabel() { return QStringLiteral("Open folder"); }
QString closeLabel() { return QStringLiteral("Close"); }

// The real box: the messages seam's choice box cannot name its buttons or make Close the
// Escape button, so the box is made here whenever no script answers it.
int askReal(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title,
                    QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")), QMessageBox::NoButton,
                    parent ? parent : QApplication::activeWindow());
    box.setObjectName(QStringLiteral("SavedTo"));
    QPushButton* open = box.addButton(openFolderLabel(), QMessageBox::ActionRole);
    open->setObjectName(QStringLiteral("cmdOpenFolder"));
    QPushButton* close = box.addButton(closeLabel(), QMessageBox::RejectRole);
    close->setObjectName(QStringLiteral("cmdClose"));
    box.setDefaultButton(close);
    box.setEscapeButton(close);
    box.exec();
    return box.clickedButton() == open ? SavedTo::OpenFolderChoice : SavedTo::CloseChoice;
}

}  // namespace

void showSavedTo(QWidget* parent, const QString& title, const QString& path, const QString& outcome)
{
    const QString text = SavedTo::text(path, outcome);
    // A script answers it in tests; a program without windows answers it as the seam does.
    const bool scripted = Messages::installedScript() || !Messages::installedBoxes() ||
                          !qobject_cast<QApplication*>(QCoreApplication::instance());
    const int choice = scripted ? Messages::choose(text, title, Messages::Icon::Information,
                                                   {openFolderLabel(), closeLabel()}, SavedTo::CloseChoice)
                                : askReal(parent, title, text);
    if (choice != SavedTo::OpenFolderChoice) return;
    const QString folder = QFileInfo(path).absolutePath();
    if (!Desktop::openFile(folder))
        Messages::show(
            QStringLiteral("No program could be found to open the folder:\r\n") + QDir::toNativeSeparators(folder),
            title, Messages::Icon::Exclamation);
}
