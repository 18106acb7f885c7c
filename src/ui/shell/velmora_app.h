// The application: start-up, the installation directory, documents and help.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class CMainFrame;
class CVelmoraView;
class QWebEngineView;

class CVelmoraApp : public QObject {
    Q_OBJECT
public:
    CVelmoraApp();
    ~CVelmoraApp() override;

    // Settings that must be made before the application object exists.
    static void PrepareEnvironment();

    // Reads the settings, makes the main window and processes the command
    // line (a file argument opens a document titled after it). False when
    // start-up failed; the reason was shown.
    bool InitInstance(const QStringList& arguments);

    QString GetDirectory() const { return m_strDirectory; }
    CMainFrame* MainFrame() const { return m_pMainFrame; }

    CVelmoraView* OnFileNew();
    CVelmoraView* OpenDocument(const QString& path);
    void OnHelp();

private:
    CVelmoraView* CreateDocument(const QString& title);

    QString m_strDirectory;
    CMainFrame* m_pMainFrame = nullptr;
    int m_nUntitled = 0;
    QPointer<QWebEngineView> m_pHelp;
};
