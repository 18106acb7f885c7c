#include "ui/controls/file_dialogs.h"

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>
#include <algorithm>

void FitFileDialog(QFileDialog* dialog) {
    const QRect screen =
        (dialog->screen() ? dialog->screen() : QApplication::primaryScreen())->availableGeometry();
    dialog->setViewMode(QFileDialog::Detail);
    dialog->resize(std::min(820, screen.width() * 9 / 10), std::min(520, screen.height() * 8 / 10));
    // Qt's own dialog lists files in a tree view; the columns after the
    // name take what their contents need and the name the rest.
    for (QTreeView* tree : dialog->findChildren<QTreeView*>()) {
        QHeaderView* header = tree->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
        header->setMinimumSectionSize(
            header->fontMetrics().horizontalAdvance(QStringLiteral("Date Modified")) + 16);
    }
}

namespace {

QString Run(QFileDialog& dialog) {
    FitFileDialog(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString ChooseFileToOpen(QWidget* parent, const QString& caption, const QString& directory,
                         const QString& filter) {
    QFileDialog dialog(parent, caption, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Run(dialog);
}

QString ChooseFileToSave(QWidget* parent, const QString& caption, const QString& directory,
                         QFileDialog::Options options) {
    QFileDialog dialog(parent, caption, directory);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOptions(options);
    return Run(dialog);
}
