#include "PackageInstaller.h"

#include "DownLoader.h"
#include "InstallRecovery.h"
#include "PackageUnpacker.h"
#include "core/content/EPUBManager.h"
#include "core/content/PdfProbe.h"
#include "core/content/ReadableBook.h"
#include "core/content/SafePath.h"
#include "core/content/ZipArchive.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/platform/DataFolder.h"
#include "core/util/DataHelpers.h"
#include "core/util/DictionaryHelpers.h"
#include "core/util/Logging.h"
#include "core/util/NotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>
#include <cstdio>

const QString PackageInstaller::kUnsupported = QStringLiteral("コンテンツはサポート対象外です");
const QString PackageInstaller::kNoBook = QStringLiteral("EPUBがファイル内に存在しません");
const QString PackageInstaller::kOverwrite = QStringLiteral("ファイルが存在します。上書きしますか？");
const QString PackageInstaller::kDamaged
    = QStringLiteral("ファイルが壊れているため、本棚に登録できませんでした。");
const QString PackageInstaller::kKeptExisting = QStringLiteral(
    "同じ名前の本がすでにあるため、何もインストールしませんでした。本棚の本はそのままです。");
const QString PackageInstaller::kRefused
    = QStringLiteral("パッケージを展開できませんでした。ファイルが壊れているか、大きすぎます。");

namespace
{

QString extensionOf(const QString &name)
{
    return QFileInfo(name).suffix().toLower();
}

QString contentsPath(const QString &name)
{
    return DataFolder::contentsFolder() + u'/' + name;
}

} // namespace

PackageInstaller::PackageInstaller(BookRepository books, InstallerUi &ui, DictionaryManager *dictionaries)
    : m_books(books)
    , m_ui(ui)
    , m_dictionaries(dictionaries)
    , m_context(std::make_unique<QObject>())
{
    NotificationCenter::defaultCenter().observe(QString::fromLatin1(DictionaryManager::kAnalyzeDic),
        m_context.get(), [this](const QVariant &object) { onAnalyzeDic(object); });
}

PackageInstaller::~PackageInstaller() = default;

bool PackageInstaller::storeAtomically(const QString &source, const QString &destination)
{
    const QString temp = QFileInfo(destination).absolutePath() + QStringLiteral("/.")
        + QFileInfo(destination).fileName() + QStringLiteral(".")
        + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (!QFile::copy(source, temp)) {
        QFile::remove(temp);
        return false;
    }
    // rename(2) replaces the old file in one step: a crash leaves either.
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(destination).constData()) != 0) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

bool PackageInstaller::isReadableBook(const QString &path, const QString &extension)
{
    return ReadableBook::check(path, extension);
}

bool PackageInstaller::alreadyInstalled(const QString &name) const
{
    return QFileInfo::exists(contentsPath(name)) && m_books.hasBookFile(name);
}

void PackageInstaller::didDownload(const DownLoader &download)
{
    if (download.status != DownLoader::Finished)
        return;
    install(download.tmpFile, download.suggestedFilename, download.info);
}

void PackageInstaller::install(const QString &tmpFile, const QString &suggestedName, const QVariantMap &info)
{
    installed.clear();
    refused.clear();
    m_damaged = false;
    m_keptExisting = false;
    if (suggestedName.isEmpty()) {
        m_ui.error(kUnsupported);
        return;
    }
    DataFolder::createContentsFolder();
    const QString ext = extensionOf(suggestedName);
    bool ok = false;
    if (ext == u"zip")
        ok = didDownloadZIP(tmpFile);
    else if (ext == u"epub")
        ok = didDownloadEPUB(tmpFile, suggestedName);
    else if (ext == u"pdf")
        ok = didDownloadPDF(tmpFile, suggestedName, info);
    if ((ext == u"epub" || ext == u"pdf") && m_damaged)
        m_ui.error(kDamaged);
    if (ok && !m_analyzing) {
        NotificationCenter::defaultCenter().post(QStringLiteral("reloadshelf"));
        m_ui.showShelf();
    }
}

bool PackageInstaller::installBookFile(
    const QString &source, const QString &name, const QVariantMap *pdfInfo, const QString &packageDir)
{
    if (!SafePath::isSafeFileName(name)) {
        refused << name;
        return false;
    }
    if (!isReadableBook(source, extensionOf(name))) {
        qCWarning(lcStore) << "refused an unreadable book file:" << name;
        refused << name;
        m_damaged = true;
        return false;
    }
    if (alreadyInstalled(name) && !m_ui.askOverwrite()) {
        m_keptExisting = true;
        return false;
    }
    const QString destination = contentsPath(name);
    // The book it replaces is kept aside until the new one is registered:
    // a registration that fails puts it back, and nothing stored is lost.
    // (A copy a crash leaves is a half-copied file to InstallRecovery.)
    QString kept;
    if (QFileInfo::exists(destination)) {
        kept = QFileInfo(destination).absolutePath() + QStringLiteral("/.") + name + QStringLiteral(".kept.")
            + QUuid::createUuid().toString(QUuid::WithoutBraces);
        if (!QFile::copy(destination, kept)) {
            qCWarning(lcStore) << "cannot keep the installed" << name << "aside; not replaced";
            QFile::remove(kept);
            refused << name;
            return false;
        }
    }
    // Until the book is registered, a marker tells a later start that this
    // file was on its way in (InstallRecovery).
    QFile marker(InstallRecovery::installingMarker(name));
    marker.open(QIODevice::WriteOnly);
    marker.close();
    if (!storeAtomically(source, destination)) {
        qCWarning(lcStore) << "cannot store" << name << "in the contents folder";
        marker.remove();
        if (!kept.isEmpty())
            QFile::remove(kept);
        refused << name;
        return false;
    }
    if (pdfInfo) {
        m_books.parsePDFBook(destination, *pdfInfo, fromStore);
        const QString toc = QFileInfo(name).completeBaseName() + QStringLiteral(".toc");
        if (!packageDir.isEmpty() && QFileInfo(packageDir + u'/' + toc).isFile())
            storeAtomically(packageDir + u'/' + toc, contentsPath(toc));
    } else if (!m_books.parseBook(destination, fromStore)) {
        // No record was written: the file goes too (or the one it replaced
        // comes back), so the library and the contents folder still agree.
        qCWarning(lcStore) << "registration of" << name << "failed; not installed";
        if (kept.isEmpty())
            QFile::remove(destination);
        else if (std::rename(QFile::encodeName(kept).constData(), QFile::encodeName(destination).constData())
            == 0)
            kept.clear();
        if (!kept.isEmpty())
            QFile::remove(kept);
        marker.remove();
        refused << name;
        return false;
    }
    if (!kept.isEmpty())
        QFile::remove(kept);
    marker.remove();
    installed << name;
    return true;
}

bool PackageInstaller::didDownloadEPUB(const QString &tmpFile, const QString &name)
{
    return installBookFile(tmpFile, name, nullptr, QString());
}

bool PackageInstaller::didDownloadPDF(const QString &tmpFile, const QString &name, const QVariantMap &info)
{
    return installBookFile(tmpFile, name, &info, QString());
}

bool PackageInstaller::didDownloadZIP(const QString &tmpFile)
{
    const QString temp = InstallRecovery::privateTempFolder();
    if (temp.isEmpty()) {
        m_ui.error(kRefused);
        return false;
    }
    const QString packageDir = temp + u'/' + InstallRecovery::packageFolderName();
    const PackageUnpacker::Result unpacked = PackageUnpacker::unpack(tmpFile, packageDir);
    refused += unpacked.skipped;
    if (unpacked.refused) {
        qCWarning(lcStore) << "package refused:" << unpacked.reason;
        QDir(packageDir).removeRecursively();
        m_ui.error(kRefused);
        return false;
    }
    const QStringList top = QDir(packageDir).entryList(QDir::Files, QDir::Name);
    for (const QString &name : top) {
        if (extensionOf(name) != u"zip")
            continue;
        const PackageUnpacker::Result inner = PackageUnpacker::unpack(packageDir + u'/' + name, packageDir);
        refused += inner.skipped;
        if (inner.refused) {
            QDir(packageDir).removeRecursively();
            m_ui.error(kRefused);
            return false;
        }
        return downSubZipSubZip(packageDir);
    }
    return downSubZip(packageDir);
}

// The first entry of a non-empty manifest that names `name`, else its first
// entry.
static QVariantMap manifestEntryFor(const QVariantList &manifest, const QString &name)
{
    for (const QVariant &v : manifest)
        if (v.toMap().value(QStringLiteral("filename")).toString() == name)
            return v.toMap();
    return manifest.first().toMap();
}

static QVariantList manifestEntries(const QString &packageDir)
{
    QFile f(packageDir + QStringLiteral("/bookinfo.meta"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const auto json = jsonDictonary(f.readAll());
    return json ? arrayForKey(*json, QStringLiteral("bookinfo")).value_or(QVariantList()) : QVariantList();
}

bool PackageInstaller::downSubZip(const QString &packageDir)
{
    bool installedAny = false;
    bool importStarted = false;
    QSet<QString> handled;
    for (const QVariant &v : manifestEntries(packageDir)) {
        const QVariantMap entry = v.toMap();
        const QString name = stringForKey(entry, QStringLiteral("filename")).value_or(QString());
        // One file, one record: a name the manifest repeats was handled by
        // its first entry.
        if (handled.contains(name))
            continue;
        handled.insert(name);
        // The contents folder is flat: a name with a path is refused.
        if (!SafePath::isSafeFileName(name)) {
            if (!name.isEmpty())
                refused << name;
            continue;
        }
        const QString source = packageDir + u'/' + name;
        if (!QFileInfo(source).isFile())
            continue;
        const QString ext = extensionOf(name);
        if (ext == u"epub") {
            installedAny = installBookFile(source, name, nullptr, packageDir) || installedAny;
        } else if (ext == u"pdf") {
            installedAny = installBookFile(source, name, &entry, packageDir) || installedAny;
        } else if (ext == u"dict") {
            startDictionaryImport(source, entry, packageDir);
            importStarted = true;
        }
    }
    finishPackage(packageDir, installedAny, importStarted);
    return installedAny;
}

bool PackageInstaller::downSubZipSubZip(const QString &packageDir)
{
    bool installedAny = false;
    bool importStarted = false;
    const QVariantList manifest = manifestEntries(packageDir);
    for (const QString &name : QDir(packageDir).entryList(QDir::Files, QDir::Name)) {
        const QString source = packageDir + u'/' + name;
        const QString ext = extensionOf(name);
        if (ext == u"epub") {
            installedAny = installBookFile(source, name, nullptr, packageDir) || installedAny;
        } else if (ext == u"pdf") {
            // One file, one record: the first manifest entry that names the
            // file describes it (the first entry when none does; without a
            // manifest there is nothing to describe it, as before).
            if (!manifest.isEmpty()) {
                const QVariantMap entry = manifestEntryFor(manifest, name);
                installedAny = installBookFile(source, name, &entry, packageDir) || installedAny;
            }
        } else if (ext == u"dict") {
            // Imported as in a plain package, with its manifest entry when
            // there is one, so the import ends and the shelf reloads.
            QVariantMap entry { { QStringLiteral("bookId"), QFileInfo(name).completeBaseName() },
                { QStringLiteral("bookTitle"), QFileInfo(name).completeBaseName() } };
            for (const QVariant &v : manifest) {
                if (v.toMap().value(QStringLiteral("filename")).toString() == name) {
                    entry = v.toMap();
                    break;
                }
            }
            startDictionaryImport(source, entry, packageDir);
            importStarted = true;
        }
    }
    finishPackage(packageDir, installedAny, importStarted);
    return installedAny;
}

void PackageInstaller::installDictionaryFile(const QString &path)
{
    installed.clear();
    refused.clear();
    const QFileInfo file(path);
    // Named after its place on disk, so that adding it again replaces it;
    // the title is the one its files give (else the file's name).
    startDictionaryImport(file.absoluteFilePath(),
        { { QStringLiteral("bookId"), QStringLiteral("file:") + file.absoluteFilePath() },
            { QStringLiteral("bookTitle"), QString() } },
        QString());
}

void PackageInstaller::startDictionaryImport(
    const QString &source, const QVariantMap &entry, const QString &packageDir)
{
    m_analyzing = true;
    if (!m_dictionaries) {
        qCWarning(lcStore) << "no dictionary manager; the dictionary" << source << "is not imported";
        NotificationCenter::defaultCenter().post(QString::fromLatin1(DictionaryManager::kAnalyzeDic),
            QVariantMap { { QStringLiteral("status"), 2 }, { QStringLiteral("tpath"), packageDir },
                { QStringLiteral("result"), QString::fromLatin1(DictionaryManager::kResultFailed) } });
        return;
    }
    installed << QFileInfo(source).fileName();
    // On the manager's own worker, which it cancels and waits for when it
    // goes (quitting during an import).
    m_dictionaries->startImport(source, entry, packageDir);
}

void PackageInstaller::finishPackage(const QString &packageDir, bool installedAny, bool importStarted)
{
    if (!m_analyzing)
        QDir(packageDir).removeRecursively();
    // A dictionary on its way in is no reason to say the package was empty.
    if (!installedAny && !importStarted)
        m_ui.error(m_damaged ? kDamaged : m_keptExisting ? kKeptExisting : kNoBook);
}

void PackageInstaller::onAnalyzeDic(const QVariant &object)
{
    const QVariantMap m = object.toMap();
    const int status = m.value(QStringLiteral("status")).toInt();
    m_ui.importProgress(m);
    if (status == 0 || status == 1)
        return;
    const QString tpath = m.value(QStringLiteral("tpath")).toString();
    const QString temp = InstallRecovery::privateTempFolder();
    if (!tpath.isEmpty() && !temp.isEmpty() && tpath.startsWith(temp + u'/'))
        QDir(tpath).removeRecursively();
    m_analyzing = false;
    NotificationCenter::defaultCenter().post(QStringLiteral("reloadshelf"));
    m_ui.showShelf();
}
