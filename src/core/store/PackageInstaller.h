// Installs a finished store download: an EPUB or PDF goes into the contents
// folder and is registered; a zip package is unpacked into a temporary
// folder and its "bookinfo.meta" decides what each file is (books, ".toc"
// side files, dictionaries, which are imported on a worker thread).
//
// Books replace existing files atomically (a temporary file, then a
// rename), and a manifest "filename" that is not a plain file name is
// refused. Main thread only; the dictionary import reports back through
// "analyzeDic", which this class observes.
#pragma once

#include "core/library/BookRepository.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

class DictionaryManager;
class DownLoader;

// What the store screen does for the installer.
class InstallerUi
{
public:
    virtual ~InstallerUi() = default;
    // "ファイルが存在します。上書きしますか？": true to replace the book.
    virtual bool askOverwrite() = 0;
    virtual void error(const QString &message) = 0;
    // The installation is done: show the shelf (the installer has posted
    // "reloadshelf").
    virtual void showShelf() = 0;
    // A dictionary import's "analyzeDic" notification (status 0 begun, 1
    // progress, 2 ended with its "result"); status 2 comes before showShelf().
    virtual void importProgress(const QVariantMap &notification) { Q_UNUSED(notification); }
};

class PackageInstaller
{
public:
    static const QString kUnsupported; // "コンテンツはサポート対象外です"
    static const QString kNoBook; // "EPUBがファイル内に存在しません"
    static const QString kOverwrite; // "ファイルが存在します。上書きしますか？"
    static const QString kRefused; // a package that could not be unpacked safely
    static const QString kDamaged; // a book file that cannot be read
    // The user kept the book already installed under the name, and nothing
    // else was installed.
    static const QString kKeptExisting;

    // Books are registered in `books`, whose store must outlive the installer.
    PackageInstaller(BookRepository books, InstallerUi &ui, DictionaryManager *dictionaries);
    ~PackageInstaller();

    // True while a dictionary import runs.
    bool analyzing() const { return m_analyzing; }

    // A finished download (status 2): installs it by its suggested name and,
    // when something was installed and no import runs, reloads the shelf.
    void didDownload(const DownLoader &download);
    // The same for a file and a suggested name (status 2 assumed).
    void install(const QString &tmpFile, const QString &suggestedName, const QVariantMap &info);

    bool didDownloadEPUB(const QString &tmpFile, const QString &name);
    bool didDownloadPDF(const QString &tmpFile, const QString &name, const QVariantMap &info);
    bool didDownloadZIP(const QString &tmpFile);
    bool downSubZip(const QString &packageDir);
    bool downSubZipSubZip(const QString &packageDir);

    // Whether the files handed over next come from the store (a download of
    // the store screen): their books are registered as store books, which a
    // change of account removes. False for files from disk and articles.
    bool fromStore = false;

    // What the last call installed, registered and refused (for the
    // inspector and tests).
    QStringList installed;
    QStringList refused;

    // Copies `source` to `destination` through a temporary file and a rename.
    static bool storeAtomically(const QString &source, const QString &destination);

    // Whether the file can be a book of this extension: ReadableBook::check.
    static bool isReadableBook(const QString &path, const QString &extension);

    // Imports the dictionary file the user chose (CSV, a dictd ".index", a
    // StarDict ".ifo"; see DictionaryManager::expandDic) as a dictionary of
    // a package is: on the manager's worker, reported through "analyzeDic";
    // the file and those beside it stay where they are. The same file again
    // replaces its earlier install. Returns at once.
    void installDictionaryFile(const QString &path);

private:
    bool alreadyInstalled(const QString &name) const;
    bool installBookFile(
        const QString &source, const QString &name, const QVariantMap *pdfInfo, const QString &packageDir);
    void startDictionaryImport(const QString &source, const QVariantMap &entry, const QString &packageDir);
    void finishPackage(const QString &packageDir, bool installedAny, bool importStarted);
    void onAnalyzeDic(const QVariant &object);

    BookRepository m_books;
    InstallerUi &m_ui;
    DictionaryManager *m_dictionaries;
    bool m_analyzing = false;
    bool m_damaged = false; // the last call met an unreadable book file
    bool m_keptExisting = false; // the last call's overwrite question was declined
    std::unique_ptr<QObject> m_context;
};
