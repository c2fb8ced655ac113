// The download sheet: a window-modal sheet of the main window with a
// progress bar, the size text and a cancel button, shown from the start of a
// store download (or a file imported from disk) until it ends, and again
// while a dictionary from it is imported ("辞書解析中"). It owns the download
// and the installation, so a download never needs the store screen.
//
// Cancel stops a download (nothing is installed, its temporary file goes) or
// asks the dictionary import to stop; the import then keeps the dictionary
// as it was and the sheet says so. Esc is the cancel button.
//
// Owned by the main window (its parent). Main thread only.
#pragma once

#include "core/store/DownloadSheetModel.h"
#include "core/store/PackageInstaller.h"

#include <QDialog>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <memory>

class DownLoader;
class Navigation;
class QLabel;
class QProgressBar;
class QPushButton;

class DownloadSheet : public QDialog, public InstallerUi
{
    Q_OBJECT
public:
    DownloadSheet(Navigation &app, QWidget *parent);
    ~DownloadSheet() override;

    // Starts a download of the request (replacing a running one) and shows
    // the sheet. `fromStore`: a download of the store screen, whose books
    // are registered as store books (see PackageInstaller::fromStore).
    void doDownload(const QNetworkRequest &request, bool fromStore = false);
    // Imports a dictionary file from disk (PackageInstaller::installDictionaryFile)
    // with the sheet showing "辞書解析中" and its cancel, as for a downloaded
    // dictionary.
    void importDictionaryFile(const QString &path);
    // The cancel button.
    void tapCancel();

    PackageInstaller &installer() { return m_installer; }
    const DownloadSheetModel &model() const { return m_model; }
    // The running download, or null.
    const DownLoader *download() const { return m_down.get(); }
    QProgressBar *progressBar() const { return m_progress; }
    QLabel *progressLabel() const { return m_lblProgress; }
    QPushButton *cancelButton() const { return m_dlCancelBtn; }

    // InstallerUi
    bool askOverwrite() override;
    void error(const QString &message) override;
    void showShelf() override;
    void importProgress(const QVariantMap &notification) override;

signals:
    // After every change of what the sheet shows.
    void changed();

protected:
    void reject() override { tapCancel(); }

private:
    void refresh();
    // Hides the sheet and hands the keys back to the main window's screen.
    void putAway();

    Navigation &m_app;
    DownloadSheetModel m_model;
    PackageInstaller m_installer;
    QNetworkAccessManager m_network;
    QProgressBar *m_progress;
    QLabel *m_lblProgress;
    QPushButton *m_dlCancelBtn;
    // Shared with the download's own callback while it runs: a download
    // replaced inside a nested event loop of its installation (the
    // overwrite question) stays alive until its callback has returned.
    std::shared_ptr<DownLoader> m_down;
};
