// What the download sheet shows and what its cancel button does, from the
// start of a download until its installation (and any dictionary import it
// started) is over: the size text "%.1fMB / %.1fMB", the progress (0 to 1),
// "辞書解析中" with the share of rows read during an import, and the
// message to show when an import ends without installing its dictionary.
//
// Pure state; the sheet forwards events to it and shows the fields. Main
// thread only.
#pragma once

#include <QString>
#include <QVariantMap>

class DownloadSheetModel
{
public:
    enum class Phase { Hidden, Downloading, Importing };
    enum class CancelAction { None, StopDownload, CancelImport };

    static const QString kAnalyzing; // "辞書解析中"
    // An import cancelled by the user: the dictionary stays as it was.
    static const QString kImportCancelled;
    // An import that failed: the dictionary stays as it was.
    static const QString kImportFailed;

    Phase phase = Phase::Hidden;
    QString text;
    double progress = 0.0;
    bool cancelEnabled = false;
    // True once the user asked to cancel the running import.
    bool importCancelRequested = false;

    bool visible() const { return phase != Phase::Hidden; }

    // A new download: empty text, progress 0, cancel available.
    void downloadStarted();
    // A change of the running download (DownLoader status 0 or 1): while
    // receiving with a known size, the size text and the progress.
    void downloadChanged(int status, qint64 currentSize, qint64 totalSize);
    // The download ended (finished, failed or stopped): the sheet closes
    // unless an import has begun meanwhile.
    void downloadEnded();

    // The installation started a dictionary import (before its first
    // notification arrives): "辞書解析中" at 0.
    void importBegun();
    // An "analyzeDic" notification. Returns the message to show when the
    // import ended without installing (cancelled or failed), else empty.
    QString importNotified(const QVariantMap &notification);

    // The cancel button: what to stop. Stopping a download hides the sheet;
    // cancelling an import keeps it up (with its text) until the import ends.
    CancelAction cancel();

    // "%.1fMB / %.1fMB" with both sizes in MiB.
    static QString sizeText(qint64 currentSize, qint64 totalSize);
};
