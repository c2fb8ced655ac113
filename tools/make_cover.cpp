// Draws the cover of a sample book: its title and author set on a coloured
// board with the publisher's line and a small emblem, as a 300 x 400 PNG.
// tools/make_samples.py runs it for every sample book it writes.
//
//     tavro-make-cover OUT.png TITLE AUTHOR HUE [PUBLISHER]
//
// HUE picks one of the five boards (any integer). Needs no display: run it
// with QT_QPA_PLATFORM=offscreen. Exit status 0 when the file is written,
// 1 on a bad argument or a file that cannot be written.
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

namespace
{

struct Board {
    QColor top, bottom, accent;
};

const Board kBoards[] = {
    { QColor(26, 64, 122), QColor(12, 34, 74), QColor(120, 190, 255) },
    { QColor(140, 32, 52), QColor(84, 14, 30), QColor(255, 170, 150) },
    { QColor(22, 104, 78), QColor(10, 60, 44), QColor(150, 235, 190) },
    { QColor(150, 96, 30), QColor(96, 56, 12), QColor(255, 215, 140) },
    { QColor(84, 50, 132), QColor(46, 24, 84), QColor(210, 180, 255) },
};

// The largest bold font of at most `maxPixels` that sets `text` in `box`
// (wrapping at words, and anywhere in Japanese).
QFont fitted(const QString &text, const QRect &box, int maxPixels, QFont font)
{
    for (int px = maxPixels; px > 10; px -= 2) {
        font.setPixelSize(px);
        const QRect need = QFontMetrics(font).boundingRect(box, Qt::TextWordWrap | Qt::AlignCenter, text);
        if (need.width() <= box.width() && need.height() <= box.height())
            return font;
    }
    font.setPixelSize(10);
    return font;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        QTextStream(stderr) << "usage: tavro-make-cover OUT.png TITLE AUTHOR HUE [PUBLISHER]\n";
        return 1;
    }
    bool ok = false;
    const int hue = args.at(4).toInt(&ok);
    if (!ok) {
        QTextStream(stderr) << "tavro-make-cover: HUE must be a number, not " << args.at(4) << '\n';
        return 1;
    }
    const QString title = args.at(2);
    const QString author = args.at(3);
    const QString publisher = args.value(5, QStringLiteral("Tavro Medical Press"));
    const Board &board = kBoards[((hue % 5) + 5) % 5];

    QImage cover(300, 400, QImage::Format_RGB32);
    QPainter p(&cover);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, 400);
    sky.setColorAt(0, board.top);
    sky.setColorAt(1, board.bottom);
    p.fillRect(cover.rect(), sky);
    // The spine's shade and a light band for the publisher.
    p.fillRect(QRect(0, 0, 14, 400), QColor(0, 0, 0, 70));
    p.fillRect(QRect(14, 0, 286, 46), QColor(255, 255, 255, 235));
    QFont base(QStringLiteral("Noto Sans CJK JP"));
    base.setStyleHint(QFont::SansSerif);
    QFont small = base;
    small.setPixelSize(14);
    small.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(small);
    p.setPen(board.bottom);
    p.drawText(QRect(14, 0, 286, 46), Qt::AlignCenter, publisher.toUpper());

    // The emblem: a cross in a ring.
    const QPointF centre(157, 112);
    p.setPen(QPen(board.accent, 4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 34, 34);
    QPainterPath cross;
    cross.addRect(QRectF(centre.x() - 7, centre.y() - 22, 14, 44));
    cross.addRect(QRectF(centre.x() - 22, centre.y() - 7, 44, 14));
    cross.setFillRule(Qt::WindingFill);
    p.fillPath(cross.simplified(), board.accent);

    // The title, as large as it fits, then a rule and the author.
    QFont titleFont = base;
    titleFont.setBold(true);
    const QRect titleBox(30, 164, 254, 150);
    titleFont = fitted(title, titleBox, 44, titleFont);
    p.setFont(titleFont);
    p.setPen(Qt::white);
    p.drawText(titleBox, Qt::TextWordWrap | Qt::AlignCenter, title);
    p.setPen(QPen(board.accent, 2));
    p.drawLine(QPointF(107, 328), QPointF(207, 328));
    QFont authorFont = base;
    authorFont.setPixelSize(20);
    p.setFont(fitted(author, QRect(24, 338, 266, 40), 20, authorFont));
    p.setPen(QColor(240, 240, 240));
    p.drawText(QRect(24, 338, 266, 40), Qt::AlignCenter, author);
    p.end();

    if (!cover.save(args.at(1), "PNG")) {
        QTextStream(stderr) << "tavro-make-cover: cannot write " << args.at(1) << '\n';
        return 1;
    }
    return 0;
}
