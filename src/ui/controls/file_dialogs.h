// The Open and Save As file dialogs, sized so that their file list shows
// each column whole (name, size, type, date) rather than the cramped
// default of Qt's own dialog, which is the one used where the desktop
// offers none.
#pragma once

#include <QFileDialog>
#include <QString>

class QWidget;

QString ChooseFileToOpen(QWidget* parent, const QString& caption, const QString& directory,
                         const QString& filter);
QString ChooseFileToSave(QWidget* parent, const QString& caption, const QString& directory,
                         QFileDialog::Options options = {});

// What both use: a large enough dialog whose detail columns fit their
// contents. Exposed for tests.
void FitFileDialog(QFileDialog* dialog);
