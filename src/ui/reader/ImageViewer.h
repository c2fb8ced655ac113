// The reader's image viewer: an image of the page shown over the content
// on white, zoomed to fit the view at first (small figures grow), with zoom out ("−"), zoom in ("+")
// and close ("閉じる", also Escape).
//
// Main thread only. The viewer is a child of the widget it covers and
// follows its size; closing deletes it.
#pragma once

#include <QImage>
#include <QWidget>

class QLabel;
class QScrollArea;

class ImageViewer : public QWidget
{
    Q_OBJECT
public:
    // Covers `over` with `image` (must not be null).
    ImageViewer(const QImage &image, QWidget *over);

    double scale() const { return m_scale; }
    // Segment 0 zooms out, 1 zooms in, by a factor of 1.25 within 1/16..16.
    void tapZoom(int segment);
    void closeImageShow();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fit();
    void showScaled();

    QImage m_image;
    QScrollArea *m_area;
    QLabel *m_label;
    double m_scale = 1.0;
};
