// Makes and parses the epub:// URLs of books.
//
// Chromium canonicalises the host of a standard URL (lower case, IDNA for
// non-ASCII, no spaces), so a book's file name cannot stand in the host as it
// is. The host is instead the file name's UTF-8 bytes in lower-case base32
// (a-z, 2-7), cut into labels of at most 63 characters, followed by a last
// label that says what the name refers to:
//
//   epub://<base32 labels>.book/<entry path>     a book in the contents folder
//   epub://<base32 labels>.sample/<entry path>   a sample book of the resources
//
// The fixed last label keeps the host from ever reading as an IPv4 address.
// The path is the URL path, percent-decoded as UTF-8; the entry name is that
// path without one leading "/".
//
// Pure; any thread.
#pragma once

#include <QString>
#include <QUrl>
#include <optional>

class BookUrl
{
public:
    static constexpr const char *kScheme = "epub";

    struct Target {
        QString fileName; // the archive's file name, checked by SafePath
        bool sample = false;
        QString path; // the decoded URL path, leading "/" included; may be empty
    };

    // The root URL (path "") of the book file `fileName` in the contents
    // folder; an invalid QUrl when the name is not a safe file name.
    static QUrl rootUrl(const QString &fileName);
    // The root URL of a sample book of the application's resources.
    static QUrl sampleRootUrl(const QString &fileName);
    // rootUrl(fileName) with the entry path set (encoded as the web view
    // would).
    static QUrl entryUrl(const QString &fileName, const QString &entryPath, bool sample = false);

    // The archive and entry an epub:// URL names; absent for another scheme,
    // a host that is not of the form above or that decodes to an unsafe file
    // name, or a path that does not decode as UTF-8.
    static std::optional<Target> parse(const QUrl &url);

    // The host for a file name, and back. Exposed for tests.
    static QString hostForFileName(const QString &fileName, bool sample);
    static std::optional<QString> fileNameForHost(const QString &host, bool *sample = nullptr);
};
