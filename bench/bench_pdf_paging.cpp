// A 500-page PDF (written here with QPdfWriter) in the reader's PDF pane in
// a real window: the time to open it to its first page painted, and to page
// through 100 pages at zoom 2.0 with each page painted, against rendering
// the same pages with QPdfDocument::render alone (ratio). While paging, the
// resident memory is sampled: it must level off (the pane keeps no page
// images that grow with the pages seen).
//
// Needs a display (run under xvfb-run without one). BENCH_PAGES sets the
// number of pages paged through.
#include "core/platform/ConfigDictionary.h"
#include "core/platform/DataFolder.h"
#include "support/Wait.h"
#include "ui/reader/PdfPane.h"
#include "ui/reader/QLBPDFReaderView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfView>
#include <QPdfWriter>
#include <QScreen>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace
{

constexpr int kDocumentPages = 500;
const int kPaged
    = qEnvironmentVariableIsSet("BENCH_PAGES") ? qEnvironmentVariableIntValue("BENCH_PAGES") : 100;
constexpr double kZoom = 2.0;

bool writeBook(const QString &path)
{
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter p;
    if (!p.begin(&writer))
        return false;
    for (int i = 0; i < kDocumentPages; ++i) {
        if (i > 0)
            writer.newPage();
        p.setFont(QFont(QStringLiteral("Sans"), 28));
        p.drawText(60, 80, QStringLiteral("Page %1").arg(i + 1));
        p.setFont(QFont(QStringLiteral("Sans"), 10));
        for (int line = 0; line < 50; ++line)
            p.drawText(60, 120 + line * 13,
                QStringLiteral("Line %1 of page %2: the quick brown fox jumps over the lazy dog.")
                    .arg(line)
                    .arg(i));
        p.setPen(QPen(Qt::darkBlue, 2));
        for (int k = 0; k < 20; ++k)
            p.drawEllipse(QPointF(300, 780), 10 + k * 2, 5 + k);
    }
    return p.end();
}

long residentKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Whether the view shows ink (a dark pixel) in its top part, where each
// page has its heading.
bool showsInk(QPdfView *view)
{
    QWidget *viewport = view->viewport();
    const QImage image = viewport->grab(QRect(0, 0, viewport->width(), std::min(viewport->height(), 400)))
                             .toImage()
                             .convertToFormat(QImage::Format_Grayscale8);
    const int rows = image.height();
    for (int y = 0; y < rows; ++y) {
        const uchar *line = image.constScanLine(y);
        for (int x = 0; x < image.width(); ++x)
            if (line[x] < 100)
                return true;
    }
    return false;
}

// Counts the paints of a widget.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

PaintCounter paintCounter;

// Waits for the page asked for to be painted: after each paint of the
// viewport, whether it shows ink (a page not rendered yet is drawn blank).
bool waitPainted(PdfPane &pane)
{
    QWidget *viewport = pane.view()->viewport();
    viewport->removeEventFilter(&paintCounter);
    viewport->installEventFilter(&paintCounter);
    viewport->update();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 20000) {
        const int seen = paintCounter.paints;
        if (!waitUntil([&] { return paintCounter.paints != seen; }, 20000))
            return false;
        if (showsInk(pane.view()))
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("book500.pdf"));
    if (!writeBook(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }

    // Baseline: the document alone, rendering the pages at the size the
    // view shows them.
    QElapsedTimer t;
    t.start();
    double baselineOpen = 0;
    double baselinePaging = 0;
    QSize pageSize;
    {
        QPdfDocument pdf;
        pdf.load(path);
        const double dpi = app.primaryScreen()->logicalDotsPerInch() / 72.0;
        const QImage first = pdf.render(0, (pdf.pagePointSize(0) * dpi).toSize());
        baselineOpen = t.nsecsElapsed() / 1e6;
        pageSize = (pdf.pagePointSize(0) * dpi * kZoom).toSize();
        t.restart();
        for (int i = 1; i <= kPaged; ++i)
            (void)pdf.render(i, pageSize);
        baselinePaging = t.nsecsElapsed() / 1e6;
        Q_UNUSED(first);
    }

    ConfigDictionary config(DataFolder::configFile());
    QWidget window;
    window.resize(1200, 900);
    window.show();
    if (!waitUntil([&] { return window.isVisible(); }))
        return 1;
    t.restart();
    auto *pane = new PdfPane(path, config, QString(), &window);
    pane->resize(window.size());
    pane->show();
    if (!waitPainted(*pane)) {
        std::fprintf(stderr, "the first page was never painted\n");
        return 1;
    }
    const double paneOpen = t.nsecsElapsed() / 1e6;

    pane->view()->setZoomFactor(kZoom);
    waitPainted(*pane);
    const long rssStart = residentKiB("VmRSS:");
    QList<long> samples;
    t.restart();
    for (int i = 1; i <= kPaged; ++i) {
        pane->goToPage(i);
        if (!waitPainted(*pane)) {
            std::fprintf(stderr, "page %d was never painted\n", i + 1);
            return 1;
        }
        if (i % std::max(1, kPaged / 5) == 0)
            samples << residentKiB("VmRSS:");
    }
    const double panePaging = t.nsecsElapsed() / 1e6;

    std::printf("open to first page painted: pane %.1f ms, QPdfDocument::render %.1f ms, ratio %.2f\n",
        paneOpen, baselineOpen, paneOpen / baselineOpen);
    std::printf(
        "paging %d pages at zoom %.1f: pane %.1f ms (%.1f ms a page), render alone %.1f ms, ratio %.2f\n",
        kPaged, kZoom, panePaging, panePaging / kPaged, baselinePaging, panePaging / baselinePaging);
    std::printf("resident memory while paging (KiB): start %ld", rssStart);
    for (long s : samples)
        std::printf(", %ld", s);
    std::printf("; peak %ld\n", residentKiB("VmHWM:"));
    delete pane;
    return 0;
}
