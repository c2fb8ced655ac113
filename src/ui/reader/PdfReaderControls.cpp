#include "PdfReaderControls.h"

#include "PdfPane.h"
#include "core/reader/PdfViewState.h"

#include <QLabel>

PdfReaderControls::PdfReaderControls(PdfPane *pane, QLabel *pageLabel, QObject *parent)
    : QObject(parent)
    , m_pane(pane)
    , m_pageLabel(pageLabel)
{
    connect(m_pane, &PdfPane::pageShown, this, &PdfReaderControls::pageShown);
}

void PdfReaderControls::open(int lastPage)
{
    m_lastTurned = -1;
    m_pane->restore(PdfViewState::reopen(PdfViewState::load(m_pane->path()), lastPage, m_pane->pageCount()));
    // A book without pages shows none: still a label.
    if (m_lastTurned < 0)
        pageShown(m_pane->page(), m_pane->pageCount());
}

void PdfReaderControls::save() const
{
    if (m_pane->pageCount() > 0)
        PdfViewState::save(m_pane->path(), m_pane->viewState());
}

void PdfReaderControls::pageShown(int page, int pageCount)
{
    if (m_pageLabel)
        m_pageLabel->setText(QStringLiteral("%1/%2").arg(pageCount > 0 ? page + 1 : 0).arg(pageCount));
    if (page == m_lastTurned)
        return;
    m_lastTurned = page;
    emit pageTurned(page);
}
