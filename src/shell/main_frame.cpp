#include "shell/main_frame.h"

#include <QMdiArea>

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), m_pMdiArea(new QMdiArea(this)) {
    setWindowTitle(tr("Velmora"));
    setCentralWidget(m_pMdiArea);
    resize(800, 600);
}
