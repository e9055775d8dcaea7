#include "desktop/sharedfilepicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

std::optional<QString> SharedFilePicker::pick(QWidget* parent, const Request& request)
{
    QFileDialog dialog(parent, request.title, request.startFolder);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.filters);
    dialog.selectNameFilter(request.filters.value(request.filterIndex));
    dialog.selectFile(request.proposedName);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString path = dialog.selectedFiles().constFirst();
        const QFileInfo info(path);
        if (!info.absoluteDir().exists()) {
            QMessageBox::warning(&dialog, request.title,
                                 QStringLiteral("%1\nPath does not exist.").arg(path));
            continue;
        }
        if (info.exists())
            return path;
        // A file that does not exist yet is taken only when the operator confirms it.
        const auto answer = QMessageBox::question(
            &dialog, request.title,
            QStringLiteral("%1\nThis file does not exist.\nCreate the file?").arg(path));
        if (answer == QMessageBox::Yes)
            return path;
    }
}
