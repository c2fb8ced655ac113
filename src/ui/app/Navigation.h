// What a screen may ask of the application: to show another screen, the
// main window, the account session and the service objects the start-up
// made. The application delegate implements it; screens hold only this.
// The objects returned live as long as the application delegate.
#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>

class AccountSession;
class Analytics;
struct BookInfo;
class ConfigDictionary;
class DictionaryManager;
class DownloadSheet;
class Library;
struct LinkOrigin;
class MainWindow;
class ServerConfig;
class QMShareHelper;
class StoreManager;
class VamoManager;
class QWebEngineProfile;

class Navigation
{
public:
    virtual ~Navigation() = default;

    virtual void changeToTop() = 0;
    virtual void changeToShelf() = 0;
    virtual void changeToStore() = 0;
    virtual void changeToMyMenu() = 0;
    virtual void changeToAcquired() = 0;
    virtual void changeToStoreDownloadPage(const QNetworkRequest &request, const QByteArray &body) = 0;
    // The reader on `book` (from the shelf, the library search, the top
    // screen's history, a file from disk, or going back to a book a link
    // came from): a new reader screen replaces the one shown.
    virtual void changeToReader(const BookInfo &book) = 0;
    // The reader on the book a link between books leads to, with the book
    // and document the link was followed from (where going back returns).
    virtual void changeToReader(const BookInfo &book, const LinkOrigin &from) = 0;
    // A download (a store link, or a file from disk) installed by the store.
    virtual void downloadFromExternal(const QNetworkRequest &request) = 0;
    // The one download sheet of the main window (made when first asked for).
    virtual DownloadSheet &downloadSheet() = 0;

    virtual MainWindow *window() const = 0;
    virtual AccountSession &account() = 0;
    virtual StoreManager &storeManager() = 0;
    virtual VamoManager &vamoManager() = 0;
    virtual QMShareHelper &shareHelper() = 0;
    virtual DictionaryManager &dictionaryManager() = 0;
    // The library (books, shelves, annotations, logs, dictionaries, account).
    virtual Library &library() = 0;
    virtual const ServerConfig &servers() const = 0;
    virtual Analytics &analytics() = 0;
    // The data folder's configuration dictionary ("uuid", "r_split").
    virtual ConfigDictionary &config() = 0;
    // The web profile of book pages (BookWebProfile), never null; made on
    // first use.
    virtual QWebEngineProfile *bookProfile() = 0;
};
