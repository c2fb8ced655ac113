// The reader's status line under an EPUB book: the title of the chapter
// shown, the share of the whole book read (by text length) and a slider to
// move through the book. Dragging the slider shows where it would lead; on
// release it asks for that place.
//
// Main thread only; a child widget of the reader screen.
#pragma once

#include "core/reader/BookProgress.h"
#include "core/reader/ReadingPlace.h"

#include <QWidget>
#include <optional>

class QLabel;
class QSlider;

class ReaderProgressBar : public QWidget
{
    Q_OBJECT
public:
    // Steps of the slider: a tenth of a per cent.
    static constexpr int kSteps = 1000;

    explicit ReaderProgressBar(QWidget *parent = nullptr);

    // The measured book; the slider is disabled until it is known.
    void setProgress(const BookProgress &progress);
    const std::optional<BookProgress> &progress() const { return m_progress; }
    // The place shown and the title of its chapter (may be empty).
    void setPlace(const ReadingPlace &place, const QString &chapterTitle);

    // The share of the book shown (0 to 1), absent until the book is
    // measured.
    std::optional<double> share() const;
    QString shareText() const;
    QSlider *slider() const { return m_slider; }
    QLabel *chapterLabel() const { return m_chapter; }

signals:
    // The reader let go of the slider at `place`.
    void placeChosen(const ReadingPlace &place);

private:
    void showShare(double share);

    QLabel *m_chapter;
    QSlider *m_slider;
    QLabel *m_percent;
    std::optional<BookProgress> m_progress;
    ReadingPlace m_place;
};
