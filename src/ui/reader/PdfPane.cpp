#include "PdfPane.h"

#include "OutlineRowDelegate.h"
#include "PdfDirectionPopover.h"
#include "PdfOutlineTree.h"
#include "PdfZoomBar.h"
#include "QLBPDFReaderView.h"
#include "ReaderSearch.h"
#include "core/content/PdfProbe.h"
#include "core/reader/PdfZoom.h"
#include "core/reader/ReadingState.h"
#include "core/util/Logging.h"

#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPrinter>
#include <QScrollBar>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

PdfPane::PdfPane(const QString &path, ConfigDictionary &config, const QString &metaBookId, QWidget *parent)
    : QWidget(parent)
    , m_path(path)
    , m_config(config)
    , m_pdf(new QPdfDocument(this))
    , m_split(new QSplitter(this))
    , m_outlineTree(new QTreeWidget(m_split))
    , m_view(new QLBPDFReaderView(metaBookId, m_split))
    , m_zoomBar(new PdfZoomBar(this))
{
    setObjectName(QStringLiteral("pdfPane"));
    // The document is opened and its outline built in a helper process
    // first (bounded in time): a file that would crash or stall the PDF
    // library is shown as a book of no pages instead.
    PdfProbe probe = PdfProbe::check(path);
    if (probe.status == PdfProbe::Status::Damaged)
        qCWarning(lcContent) << "not opening the PDF:" << probe.error << path;
    else if (m_pdf->load(path) != QPdfDocument::Error::None)
        qCWarning(lcContent) << "cannot read the PDF" << path;
    if (probe.status == PdfProbe::Status::NotChecked)
        probe.pageCount = m_pdf->pageCount();
    m_outline = PdfOutline::load(path, probe);
    m_view->setDocument(m_pdf);
    m_view->setZoomFactor(1.0);
    m_outlineTree->setObjectName(QStringLiteral("pdfOutline"));
    m_outlineTree->setHeaderHidden(true);
    m_outlineTree->setWordWrap(true);
    m_outlineTree->setItemDelegate(new OutlineRowDelegate(m_outlineTree));
    PdfOutlineTree::fill(m_outlineTree, m_outline);
    connect(m_outlineTree, &QTreeWidget::itemClicked, this, &PdfPane::openOutlineItem);
    connect(m_outlineTree, &QTreeWidget::itemActivated, this, &PdfPane::openOutlineItem);
    m_split->setChildrenCollapsible(true);
    m_split->setStretchFactor(1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_split);
    m_zoomBar->raise();
    connect(m_view->verticalScrollBar(), &QScrollBar::rangeChanged, this, &PdfPane::applyPendingOffset);
    // The reader's own scrolling ends a restored position.
    connect(
        m_view->verticalScrollBar(), &QScrollBar::actionTriggered, this, [this] { m_pendingOffset.reset(); });
    connect(m_view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this](int p) {
        if (p != m_page)
            m_pendingOffset.reset();
        m_page = p;
        emit pageShown(p, pageCount());
    });
    connect(this, &PdfPane::pageShown, this,
        [this](int p) { PdfOutlineTree::select(m_outlineTree, m_outline, p); });
    connect(m_view, &QLBPDFReaderView::zoomRequested, this, &PdfPane::setScale);
    connect(m_zoomBar, &PdfZoomBar::scaleChosen, this, &PdfPane::setScale);
    connect(m_zoomBar, &PdfZoomBar::fitChosen, this, &PdfPane::setFit);
    // One click hides the zoom bar; a double click shows or hides it as it
    // was before the click that began it.
    connect(m_view, &QLBPDFReaderView::clicked, this, [this] {
        m_barShownBeforeClick = !m_zoomBar->isHidden();
        m_zoomBar->hide();
    });
    connect(m_view, &QLBPDFReaderView::doubleClicked, this, [this] {
        m_zoomBar->setVisible(!m_barShownBeforeClick);
        m_barShownBeforeClick = !m_zoomBar->isHidden();
        placeZoomBar();
    });
}

PdfPane::~PdfPane()
{
    // The document, a child, is closed after this body and resizes the view
    // as it goes: this pane must hear nothing of it.
    disconnect(m_view->verticalScrollBar(), nullptr, this, nullptr);
}

void PdfPane::openOutlineItem(QTreeWidgetItem *item)
{
    const int page = PdfOutlineTree::pageOf(item);
    if (page < 0 || page >= pageCount())
        return;
    goToPage(page);
    // A heading further down the page is brought to the top of the view.
    const auto location = PdfOutlineTree::locationOf(item);
    const QSizeF points = m_pdf->pagePointSize(page);
    if (location && location->y() > 0 && points.height() > 0) {
        const QRectF shown = m_view->pageRect();
        QScrollBar *bar = m_view->verticalScrollBar();
        bar->setValue(bar->value() + int(shown.top() + location->y() * shown.height() / points.height()));
    }
}

void PdfPane::saveSplit()
{
    if (!m_splitRestored || m_split->width() <= 0 || m_outlineTree->isHidden())
        return;
    ReadingState::saveSplit(m_config, double(m_outlineTree->width()) / m_split->width());
}

void PdfPane::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_splitRestored)
        return;
    // The outline column at the width last chosen in a book.
    m_splitRestored = true;
    const int total = std::max(m_split->width(), width());
    const auto fraction = ReadingState::storedSplit(m_config);
    const int outline = fraction ? int(*fraction * total + 0.5) : 240;
    m_split->setSizes({ outline, std::max(1, total - outline) });
}

int PdfPane::pageCount() const
{
    return m_pdf->pageCount();
}

void PdfPane::goToPage(int page)
{
    if (page < 0 || page >= pageCount())
        return;
    m_page = page;
    m_view->goToPage(page);
    emit pageShown(page, pageCount());
}

void PdfPane::turn(int step)
{
    if (step != 0)
        tapDir(step < 0 ? 0 : 1);
}

void PdfPane::tapDir(int segment)
{
    const bool right = m_view->direction().rightOpening();
    qCDebug(lcContent).noquote() << ReadingDirection::logWord(right);
    goToPage(ReadingDirection::turn(m_page, ReadingDirection::step(right, segment), pageCount()));
}

void PdfPane::showDirectionPopover(QWidget *anchor)
{
    if (!m_popover)
        m_popover = new PdfDirectionPopover(m_view->direction(), this);
    m_popover->showBelow(anchor);
}

PdfDirectionPopover *PdfPane::directionPopover() const
{
    return m_popover;
}

double PdfPane::scale() const
{
    return m_view->effectiveScale();
}

void PdfPane::applyScale(double scale)
{
    m_fit = PdfViewState::Fit::None;
    m_view->setZoomMode(QPdfView::ZoomMode::Custom);
    m_view->setZoomFactor(PdfZoom::clampScale(scale));
}

void PdfPane::setScale(double scale)
{
    applyScale(scale);
    scaleDidChange();
}

void PdfPane::setFit(PdfViewState::Fit fit)
{
    if (fit == PdfViewState::Fit::None) {
        // Leaving a fit mode keeps the size it gave.
        setScale(scale());
        return;
    }
    m_fit = fit;
    m_view->setZoomMode(
        fit == PdfViewState::Fit::Width ? QPdfView::ZoomMode::FitToWidth : QPdfView::ZoomMode::FitInView);
    scaleDidChange();
}

void PdfPane::zoomIn()
{
    setScale(PdfZoom::zoomIn(scale()));
}

void PdfPane::zoomOut()
{
    setScale(PdfZoom::zoomOut(scale()));
}

void PdfPane::zoomDefault()
{
    setScale(1.0);
}

void PdfPane::scaleDidChange()
{
    m_zoomBar->showScale(scale(), m_fit);
    m_zoomBar->show();
    placeZoomBar();
    emit scaleChanged(scale());
}

bool PdfPane::zoomBarShown() const
{
    return !m_zoomBar->isHidden();
}

void PdfPane::placeZoomBar()
{
    const QSize hint = m_zoomBar->sizeHint();
    const int barWidth = std::min(width() - 16, std::max(hint.width(), 420));
    m_zoomBar->setGeometry((width() - barWidth) / 2, height() - hint.height() - 24, barWidth, hint.height());
    m_zoomBar->raise();
}

void PdfPane::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeZoomBar();
}

PdfViewState PdfPane::viewState() const
{
    PdfViewState s;
    s.pageCount = pageCount();
    s.zoom = m_fit == PdfViewState::Fit::None ? m_view->zoomFactor() : scale();
    s.page = m_page;
    s.fit = m_fit;
    s.offset = pageOffset();
    return s;
}

double PdfPane::pageOffset() const
{
    if (m_pendingOffset)
        return *m_pendingOffset;
    const QScrollBar *bar = m_view->verticalScrollBar();
    return bar->maximum() > bar->minimum()
        ? std::clamp(double(bar->value() - bar->minimum()) / (bar->maximum() - bar->minimum()), 0.0, 1.0)
        : 0.0;
}

void PdfPane::applyPendingOffset()
{
    QScrollBar *bar = m_view->verticalScrollBar();
    if (!m_pendingOffset || bar->maximum() <= bar->minimum())
        return;
    // Kept while the view settles (a fit mode sets the zoom once it has its
    // width): each new range gets the same share.
    bar->setValue(bar->minimum() + int(std::lround(*m_pendingOffset * (bar->maximum() - bar->minimum()))));
}

void PdfPane::restore(const PdfViewState &state)
{
    applyScale(state.zoom);
    if (state.fit != PdfViewState::Fit::None) {
        m_fit = state.fit;
        m_view->setZoomMode(state.fit == PdfViewState::Fit::Width ? QPdfView::ZoomMode::FitToWidth
                                                                  : QPdfView::ZoomMode::FitInView);
    }
    m_zoomBar->showScale(state.zoom, m_fit);
    m_zoomBar->hide();
    goToPage(state.page);
    m_pendingOffset = state.offset > 0 ? std::optional<double>(state.offset) : std::nullopt;
    applyPendingOffset();
}

void PdfPane::printTo(QPrinter *printer, std::function<void(bool)> done)
{
    const int shown = m_page;
    if (shown < 0 || shown >= pageCount()) {
        done(false);
        return;
    }
    limitResolution(printer);
    QPainter painter;
    if (!painter.begin(printer)) {
        done(false);
        return;
    }
    const QRect paper = painter.viewport();
    QSizeF page = m_pdf->pagePointSize(shown);
    const bool rotate = (page.width() > page.height()) != (paper.width() > paper.height());
    if (rotate)
        page.transpose();
    const QSize target = page.scaled(paper.size(), Qt::KeepAspectRatio).toSize();
    QImage image = m_pdf->render(shown, rotate ? target.transposed() : target);
    if (rotate)
        image = image.transformed(QTransform().rotate(90));
    painter.drawImage(QRect(paper.topLeft(), target), image);
    done(painter.end());
}

std::optional<QString> PdfPane::bookmarkId(int page) const
{
    return QString::number(std::max(0, page));
}

void PdfPane::setReadingTheme(ReadingTheme::Kind kind)
{
    m_view->setReadingTheme(kind);
}

QWidget *PdfPane::pageView() const
{
    return m_view;
}

QString PdfPane::selectedText() const
{
    return m_view->selectedText();
}

void PdfPane::attachSearch(ReaderSearch &search)
{
    search.attach(this, m_path);
}
