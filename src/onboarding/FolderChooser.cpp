#include "onboarding/FolderChooser.h"

#include <QFileDialog>

namespace framlet::FolderChooser {

std::optional<QUrl> chooseScreenshotFolder(const QUrl& startIn, QWidget* parent) {
    // Over the window that asked, which stays above other windows, rather than hidden behind it.
    QFileDialog dialog(parent,
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
