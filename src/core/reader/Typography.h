// How the text of EPUB pages is set, besides its size: the font family (the
// book's own, a Mincho/serif or a Gothic/sans face), the line spacing, the
// page margins and the longest a line may run. One value for every book,
// kept under UserDefaults "bookTypography" as a short "key=value;..." text,
// like "bookFontSize" is for the size.
//
// The style sheet it makes sets text only: pictures (img, svg, video,
// canvas) keep their size and look.
//
// A plain value; pure functions; any thread.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Typography
{
public:
    static constexpr const char *kDefaultsKey = "bookTypography";

    enum class Family { Book, Mincho, Gothic };

    // Line spacing in percent of the font size; 0 is the book's own.
    static constexpr int kBookLineSpacing = 0;
    static constexpr int kMinLineSpacing = 100;
    static constexpr int kMaxLineSpacing = 300;
    // Space at the left and right of the text, in CSS pixels.
    static constexpr int kMaxMargin = 200;
    static constexpr int kDefaultMargin = 24;
    // The longest line in em (characters of a Japanese text); 0 is no
    // limit. Without a limit a full-screen window runs lines over 1600
    // pixels, too long to follow back to the next line.
    static constexpr int kNoLineLimit = 0;
    static constexpr int kMinLineWidth = 20;
    static constexpr int kMaxLineWidth = 120;
    static constexpr int kDefaultLineWidth = 40;

    Family family = Family::Book;
    int lineSpacing = kBookLineSpacing;
    int margin = kDefaultMargin;
    int lineWidth = kDefaultLineWidth;

    bool operator==(const Typography &) const = default;

    // The stored text read field by field: a field that is missing, not a
    // number, or out of its range takes its default; unknown fields are
    // ignored. Never fails.
    static Typography fromStored(const QString &text);
    // "family=book;lineSpacing=0;margin=24;lineWidth=40".
    QString toStored() const;

    // "book", "mincho", "gothic".
    static QString familyKey(Family family);

    // The choices the display pop-over offers, in its order; a stored value
    // between them is shown as its own entry.
    static QList<int> lineSpacingChoices();
    static QList<int> marginChoices();
    static QList<int> lineWidthChoices();
    // The pop-over's text for a value: "本のまま", "1.6", "24 px", "40 字",
    // "制限なし".
    static QString lineSpacingText(int percent);
    static QString marginText(int pixels);
    static QString lineWidthText(int em);

    // The families a CSS font-family list names for `family`, best first:
    // the preferred Japanese faces among `installed` (the families the font
    // database knows), then the generic family. Empty for Family::Book.
    static QStringList fontStack(Family family, const QStringList &installed);
    // The first installed face of fontStack(), for the pop-over's label;
    // empty for Family::Book or when none of the preferred faces is
    // installed.
    static QString installedFace(Family family, const QStringList &installed);

    // The style sheet that sets this typography over a book page, with the
    // font faces chosen from `installed`. Each rule overrides the book's
    // own (!important) and none reaches a picture.
    QString styleSheet(const QStringList &installed) const;
};
