#include "onboarding/FolderChooser.h"

#include <QApplication>
#include <QFileDialog>

namespace framlet::FolderChooser {

std::optional<QUrl> chooseScreenshotFolder(const QUrl& startIn) {
    // Over the window that asked (onboarding stays above other windows), not hidden behind it.
    QFileDialog dialog(QApplication::activeWindow(),
                       QStringLiteral("Choose the folder where your screenshots are saved."));
    dialog.setFileMode(QFileDialog::Directory);
    // Read-only: the chooser offers no way to make, rename or delete folders.
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    dialog.setDirectoryUrl(startIn);
    dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Grant Access"));
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedUrls().constFirst();
}

}  // namespace framlet::FolderChooser
