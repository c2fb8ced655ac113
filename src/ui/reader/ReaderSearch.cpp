#include "ReaderSearch.h"

#include "EpubPane.h"
#include "PdfHitOverlay.h"
#include "PdfPane.h"
#include "QLBPDFReaderView.h"
#include "core/content/EPUBManager.h"
#include "core/reader/BookSearchText.h"
#include "core/shelf/ShelfModel.h"
#include "core/util/StringHelpers.h"

#include <QAction>
#include <QFile>
#include <QJsonDocument>
#include <QToolBar>
#include <QWebEngineView>

namespace
{

// The ".toc" outline of a PDF, every level in one list.
QVariantList pdfOutline(const QString &path)
{
    QFile file(ShelfModel::sideFile(path, QStringLiteral(".toc")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QVariantList flat;
    std::function<void(const QVariantList &, int)> walk = [&](const QVariantList &entries, int depth) {
        if (depth > 32)
            return;
        for (const QVariant &v : entries) {
            flat << v;
            walk(v.toMap().value(QStringLiteral("sub")).toList(), depth + 1);
        }
    };
    walk(
        QJsonDocument::fromJson(file.readAll()).toVariant().toMap().value(QStringLiteral("toc")).toList(), 0);
    return flat;
}

} // namespace

ReaderSearch::ReaderSearch(QToolBar *toolbar, QWidget *shortcutScope)
    : QObject(shortcutScope)
    , m_toolbar(toolbar)
{
    m_action = toolbar->addAction(QStringLiteral("検索"), this, &ReaderSearch::tapSearch);
    m_action->setObjectName(QStringLiteral("searchButton"));
    m_action->setShortcut(QKeySequence::Find);
    m_action->setShortcutContext(Qt::WindowShortcut);
    m_action->setVisible(false);
}

ReaderSearch::~ReaderSearch()
{
    delete m_popover;
}

void ReaderSearch::attach(EpubPane *pane)
{
    m_epub = pane;
    m_search = new InBookSearch(std::make_shared<BookSearchText>(pane->book()), this);
    m_search->setToc(pane->book().toc().value_or(QVariantList {}));
    m_action->setVisible(true);
    // After the page of a chosen hit has loaded, the hit is selected.
    connect(pane, &EpubPane::pageReady, this, [this] {
        if (!m_isSearchSelect)
            return;
        m_isSearchSelect = false;
        if (m_inSearchMode)
            selectToStr();
    });
}

void ReaderSearch::attach(PdfPane *pane, const QString &path)
{
    m_pdf = pane;
    m_search = new InBookSearch(std::make_shared<PdfTextSearch>(path), this);
    m_search->setToc(pdfOutline(path));
    m_overlay = new PdfHitOverlay(pane->view(), pane->document());
    m_action->setVisible(true);
}

void ReaderSearch::tapSearch()
{
    if (!m_search)
        return;
    if (!m_popover) {
        // Under the toolbar, so that it belongs to the reader (and takes its
        // theme).
        m_popover = new Reader_SearchVC(m_search, m_toolbar);
        connect(m_popover, &Reader_SearchVC::hitChosen, this, &ReaderSearch::showHit);
    }
    if (m_epub) {
        m_search->setCurrentManifestID(m_epub->currentManifestID());
        m_inSearchMode = true;
        selectToStr(false);
    }
    m_popover->popup(m_toolbar->widgetForAction(m_action));
}

void ReaderSearch::markOnOpen(const QString &term)
{
    if (!m_search || term.isEmpty())
        return;
    if (m_epub)
        m_search->setCurrentManifestID(m_epub->currentManifestID());
    if (m_pdf) {
        // The first hit on the page shown is marked once the find is done.
        auto once = std::make_shared<QMetaObject::Connection>();
        *once = connect(m_search, &InBookSearch::resultsChanged, this, [this, once] {
            if (m_search->showIndicator())
                return;
            disconnect(*once);
            for (const PdfHit &hit : m_search->pdfResults()) {
                if (hit.page == m_pdf->page()) {
                    m_overlay->showHit(hit.page, hit.start, hit.length);
                    emit hitShown(true);
                    return;
                }
            }
            emit hitShown(false);
        });
    }
    m_search->updateSearch(term);
    if (m_epub) {
        m_inSearchMode = true;
        m_isSearchSelect = true;
        m_search->setNowSelectStr(term);
    }
}

void ReaderSearch::showHit(const InBookSearch::Choice &choice)
{
    if (choice.kind == InBookSearch::Choice::PdfHit && m_pdf) {
        m_pdf->goToPage(choice.pdf.page);
        m_overlay->showHit(choice.pdf.page, choice.pdf.start, choice.pdf.length);
        emit hitShown(!m_overlay->bounds().isEmpty());
        return;
    }
    if (choice.kind != InBookSearch::Choice::EpubHit || !m_epub)
        return;
    const int index = choice.hit.value(QStringLiteral("page")).toInt() - 1;
    // The hit on the page already shown: no load to wait for.
    const bool isSamePage = m_epub->currentManifestID() == choice.hit.value(QStringLiteral("id")).toString();
    if (isSamePage) {
        selectToStr();
        return;
    }
    m_isSearchSelect = true;
    m_epub->goToPage(index);
}

void ReaderSearch::selectToStr(bool report)
{
    if (!m_epub || !m_search)
        return;
    QPointer<ReaderSearch> self(this);
    Reader_SearchVC::selectToStr(m_epub->web()->page(), m_search->nowSelectStr(), m_search->lastSearchStr(),
        [self, report](bool found) {
            if (self && report)
                emit self->hitShown(found);
        });
}
