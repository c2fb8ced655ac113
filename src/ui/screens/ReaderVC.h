// The reader: an EPUB in the book web view (one spine item at a time) or a
// PDF in the PDF view; the reading state is saved when it is left. (The full
// reader with its outline, annotations and search builds on this screen.)
#pragma once

#include "ScreenVC.h"

#include <QVariantMap>
#include <memory>

class EPUBManager;
class QLabel;
class QPdfDocument;
class QWebEngineView;

class ReaderVC : public ScreenVC
{
    Q_OBJECT
public:
    explicit ReaderVC(AppDelegate &app);
    ~ReaderVC() override;

    QVariantMap info;
    QVariantMap befoInfo;
    QString befoManifestID;

    void appear() override;
    QToolBar *toolbar() override { return m_toolbar; }
    int page() const { return m_page; }
    void goToPage(int page);
    QWebEngineView *web() const { return m_web; }

private:
    void saveStatus();

    QToolBar *m_toolbar;
    QLabel *m_pageLabel;
    QWebEngineView *m_web = nullptr;
    std::unique_ptr<EPUBManager> m_epub;
    QPdfDocument *m_pdf = nullptr;
    int m_page = 0;
    bool m_loaded = false;
};
