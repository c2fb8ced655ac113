// How a PDF book was shown when it was left: its page count, zoom, page, the
// scroll position within the page and fit mode, kept per book file in the user defaults (key "pdfView-" + the
// percent-encoded file name, a JSON object) so that reopening the book
// shows it the same way.
//
// Main thread only (user defaults).
#pragma once

#include <QString>
#include <optional>

struct PdfViewState {
    enum class Fit { None, Width, Page };

    int pageCount = 0;
    double zoom = 1.0;
    int page = 0; // from 0
    Fit fit = Fit::None;
    // How far down the page the view was scrolled: 0 at its top, 1 at the
    // end of its scroll range.
    double offset = 0.0;

    bool operator==(const PdfViewState &) const = default;

    // The key of the book file at `pdfPath` (its name: the contents folder
    // is flat and names are unique in it).
    static QString keyFor(const QString &pdfPath);
    // What was kept for the book, absent when nothing (readable) was kept.
    // Values out of range are brought into range.
    static std::optional<PdfViewState> load(const QString &pdfPath);
    static void save(const QString &pdfPath, const PdfViewState &state);

    // The state to open a book of `pageCount` pages with: the kept zoom and
    // fit mode, and the page of the library record (`lastPage`, -1 when
    // never read) or else the kept page, within the book. A kept state of a
    // book with another number of pages (the file was replaced) gives its
    // zoom and fit mode only. The kept offset goes with the kept page: with
    // another page it is 0.
    static PdfViewState reopen(const std::optional<PdfViewState> &kept, int lastPage, int pageCount);

    // The JSON text stored, and back; absent for text that is no such object.
    QString toJson() const;
    static std::optional<PdfViewState> fromJson(const QString &json);
};
