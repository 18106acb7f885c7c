// The main window: a multiple-document frame.
#pragma once

#include <QMainWindow>

class QMdiArea;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);

    QMdiArea* MdiArea() const { return m_pMdiArea; }

private:
    QMdiArea* m_pMdiArea;
};
