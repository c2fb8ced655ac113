#include "ReaderVC.h"

#include "MainWindow.h"
#include "app/AppDelegate.h"
#include "content/BookWebProfile.h"
#include "content/EPUBManager.h"
#include "library/LibraryStore.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

ReaderVC::ReaderVC(AppDelegate &app)
    : ScreenVC(app)
{
    setObjectName(QStringLiteral("ReaderVC"));
    m_toolbar = new QToolBar(QStringLiteral("Reader"), this);
    m_toolbar->setObjectName(QStringLiteral("readerToolbar"));
    m_toolbar->addAction(QStringLiteral("本棚"), this, [this] { m_app.changeToShelf(); });
    m_toolbar->addAction(QStringLiteral("◀"), this, [this] { goToPage(m_page - 1); });
    m_toolbar->addAction(QStringLiteral("▶"), this, [this] { goToPage(m_page + 1); });
    m_pageLabel = new QLabel(this);
    m_toolbar->addWidget(m_pageLabel);
    new QVBoxLayout(this);
    layout()->setContentsMargins(0, 0, 0, 0);
}

ReaderVC::~ReaderVC()
{
    saveStatus();
}

void ReaderVC::appear()
{
    m_app.window()->installToolbar(m_toolbar);
    m_app.window()->setWindowTitle(QStringLiteral("%1 - %2").arg(QCoreApplication::applicationName(),
                                                                 info.value(QStringLiteral("Title")).toString()));
    if (m_loaded)
        return;
    m_loaded = true;
    const int last = info.value(QStringLiteral("lastPage"), -1).toInt();
    if (info.contains(QStringLiteral("pdfurl"))) {
        m_pdf = new QPdfDocument(this);
        m_pdf->load(info.value(QStringLiteral("pdfurl")).toString());
        auto *view = new QPdfView(this);
        view->setObjectName(QStringLiteral("pdfView"));
        view->setDocument(m_pdf);
        view->setPageMode(QPdfView::PageMode::SinglePage);
        layout()->addWidget(view);
        connect(view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this](int p) {
            m_page = p;
            m_pageLabel->setText(QStringLiteral("%1 / %2").arg(p + 1).arg(m_pdf->pageCount()));
        });
        goToPage(std::max(0, last));
        return;
    }
    m_epub = std::make_unique<EPUBManager>(info.value(QStringLiteral("url")).toUrl());
    m_web = new QWebEngineView(this);
    m_web->setObjectName(QStringLiteral("bookView"));
    m_web->setPage(new QWebEnginePage(BookWebProfile::shared(), m_web));
    m_web->page()->settings()->setFontSize(QWebEngineSettings::DefaultFontSize,
                                           info.value(QStringLiteral("fontSize"), 16).toInt());
    layout()->addWidget(m_web);
    goToPage(std::max(0, last));
}

void ReaderVC::goToPage(int page)
{
    if (m_pdf) {
        if (page < 0 || page >= m_pdf->pageCount())
            return;
        m_page = page;
        if (auto *view = findChild<QPdfView *>())
            view->pageNavigator()->jump(page, {}, view->pageNavigator()->currentZoom());
        m_pageLabel->setText(QStringLiteral("%1 / %2").arg(page + 1).arg(m_pdf->pageCount()));
        return;
    }
    if (!m_epub || page < 0 || page >= m_epub->spine().size())
        return;
    m_page = page;
    const QString href = m_epub->spine().at(page).toMap().value(QStringLiteral("href")).toString();
    m_web->load(m_epub->urlForContent(href));
    m_pageLabel->setText(QStringLiteral("%1 / %2").arg(page + 1).arg(m_epub->spine().size()));
}

void ReaderVC::saveStatus()
{
    const qint64 bookID = info.value(QStringLiteral("BookID"), -1).toLongLong();
    if (bookID < 0 || !m_loaded)
        return;
    LibraryStore &store = LibraryStore::main();
    BookStatusData status = store.findFirst<BookStatusData>(QStringLiteral("\"BookID\"=?"), {bookID}).value_or(BookStatusData());
    status.BookID = bookID;
    status.lastOpenPage = m_page;
    if (m_web)
        status.fontSetting = m_web->page()->settings()->fontSize(QWebEngineSettings::DefaultFontSize);
    store.save(status);
}
