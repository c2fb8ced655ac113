#include "PdfPane.h"

#include <QImage>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPrinter>
#include <QVBoxLayout>
#include <algorithm>

PdfPane::PdfPane(const QString &path, QWidget *parent)
    : QWidget(parent)
    , m_pdf(new QPdfDocument(this))
    , m_view(new QPdfView(this))
{
    m_pdf->load(path);
    m_view->setObjectName(QStringLiteral("pdfView"));
    m_view->setDocument(m_pdf);
    m_view->setPageMode(QPdfView::PageMode::SinglePage);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    connect(m_view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this](int p) {
        m_page = p;
        emit pageShown(p, pageCount());
    });
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
    m_view->pageNavigator()->jump(page, {}, m_view->pageNavigator()->currentZoom());
    emit pageShown(page, pageCount());
}

void PdfPane::turn(int step)
{
    goToPage(std::clamp(m_page + (step < 0 ? -1 : 1), 0, std::max(0, pageCount() - 1)));
}

void PdfPane::printTo(QPrinter *printer, std::function<void(bool)> done)
{
    const int shown = m_page;
    if (shown < 0 || shown >= pageCount()) {
        done(false);
        return;
    }
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
