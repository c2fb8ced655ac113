// Installation of downloaded books and packages, with crafted packages.
#include "core/store/PackageInstaller.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/library/Library.h"
#include "core/platform/DataFolder.h"
#include "core/store/InstallRecovery.h"
#include "core/store/PackageUnpacker.h"
#include "core/util/NotificationCenter.h"
#include "support/LibraryFixture.h"
#include "support/PdfMaker.h"
#include "support/Samples.h"
#include "support/Wait.h"
#include "support/ZipWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QUuid>
#include <gtest/gtest.h>

namespace
{

class Ui : public InstallerUi
{
public:
    bool answer = true;
    int asked = 0;
    int shelves = 0;
    QStringList errors;
    bool askOverwrite() override
    {
        ++asked;
        return answer;
    }
    void error(const QString &message) override { errors << message; }
    void showShelf() override { ++shelves; }
};

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray manifest(const QVariantList &entries)
{
    return QJsonDocument::fromVariant(QVariantMap { { QStringLiteral("bookinfo"), entries } }).toJson();
}

QVariantMap entry(const QString &file, const QString &id, const QString &title = QStringLiteral("T"))
{
    return { { QStringLiteral("filename"), file }, { QStringLiteral("bookId"), id },
        { QStringLiteral("bookTitle"), title }, { QStringLiteral("bookAuthor"), QStringLiteral("A") },
        { QStringLiteral("bookPublisher"), QStringLiteral("P") } };
}

class PackageInstallerTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        QDir(DataFolder::contentsFolder()).removeRecursively();
        DataFolder::createContentsFolder();
        m_installer = std::make_unique<PackageInstaller>(library().books(), m_ui, nullptr);
        NotificationCenter::defaultCenter().observe(
            QStringLiteral("reloadshelf"), &m_context, [this](const QVariant &) { ++m_reloads; });
    }

    QString file(const QString &name, const QByteArray &data)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(data);
        return path;
    }
    QString zip(const QString &name, const QList<ZipEntry> &entries)
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(writeZip(path, entries));
        return path;
    }
    QStringList contents() const
    {
        return QDir(DataFolder::contentsFolder()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QTemporaryDir m_dir;
    Ui m_ui;
    QObject m_context;
    int m_reloads = 0;
    std::unique_ptr<PackageInstaller> m_installer;
};

TEST_F(PackageInstallerTest, SingleBooksAndTheOverwriteQuestion)
{
    const QByteArray epub = readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")));
    m_installer->install(file(QStringLiteral("dl1"), epub), QStringLiteral("anatomy-basics.epub"), {});
    EXPECT_EQ(contents(), QStringList { "anatomy-basics.epub" });
    EXPECT_TRUE(
        library().books().findBookIDByBookMetaID(QStringLiteral("urn:tavro:anatomy-basics")).has_value());
    EXPECT_EQ(m_reloads, 1);
    EXPECT_EQ(m_ui.shelves, 1);
    EXPECT_EQ(m_ui.asked, 0);

    m_ui.answer = false;
    m_installer->install(
        file(QStringLiteral("dl2"), readFile(sampleBookPath(QStringLiteral("cardiology-epub3.epub")))),
        QStringLiteral("anatomy-basics.epub"), {});
    EXPECT_EQ(m_ui.asked, 1);
    EXPECT_EQ(readFile(DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub")), epub)
        << "declined: kept";
    EXPECT_EQ(m_reloads, 1) << "no reload after a declined install";

    // A file of that name without a library record is replaced unasked.
    file(QStringLiteral("x"), QByteArray());
    QFile::copy(
        m_dir.filePath(QStringLiteral("x")), DataFolder::contentsFolder() + QStringLiteral("/loose.pdf"));
    m_installer->install(
        file(QStringLiteral("dl3"), readFile(sampleBookPath(QStringLiteral("nursing-notes.pdf")))),
        QStringLiteral("loose.pdf"),
        { { QStringLiteral("bookId"), QStringLiteral("pdf-9") },
            { QStringLiteral("bookTitle"), QStringLiteral("Notes") } });
    EXPECT_EQ(m_ui.asked, 1);
    EXPECT_EQ(store().findFirst<BookMetaData>(QStringLiteral("\"identifier\"='pdf-9'"))->title,
        QStringLiteral("Notes"));
    EXPECT_FALSE(contents().join(u' ').contains(QStringLiteral(".loose")))
        << "no temporary file or marker left";

    m_installer->install(file(QStringLiteral("dl4"), "x"), QString(), {});
    EXPECT_EQ(m_ui.errors, QStringList { PackageInstaller::kUnsupported });
    m_installer->install(file(QStringLiteral("dl5"), "x"), QStringLiteral("page.php"), {});
    EXPECT_EQ(m_ui.errors.size(), 1) << "another extension installs nothing and says nothing";
}

TEST_F(PackageInstallerTest, ManifestPackagesWithSideFilesAndFolders)
{
    m_installer->install(
        samplePackagePath(QStringLiteral("pkg-respiratory.zip")), QStringLiteral("pkg.zip"), {});
    EXPECT_EQ(contents(), (QStringList { "respiratory-atlas.pdf", "respiratory-atlas.toc" }));
    const auto pdf
        = store().findFirst<BookMetaData>(QStringLiteral("\"identifier\"='pdf-respiratory-atlas'"));
    ASSERT_TRUE(pdf.has_value());
    EXPECT_EQ(pdf->creator, QStringLiteral("Jiro Kato"));

    const QByteArray pdfBytes = readFile(sampleBookPath(QStringLiteral("nursing-notes.pdf")));
    const QString pkg = zip(QStringLiteral("folders.zip"),
        { { "bookinfo.meta", manifest({ entry(QStringLiteral("plain.pdf"), QStringLiteral("pdf-plain")) }) },
            { "plain.pdf", pdfBytes }, { "a/b/c.pdf", pdfBytes }, { "__MACOSX/._plain.pdf", "junk" },
            { ".hidden", "junk" } });
    const QString unpacked = m_dir.filePath(QStringLiteral("unpacked"));
    const PackageUnpacker::Result r = PackageUnpacker::unpack(pkg, unpacked);
    EXPECT_TRUE(QFileInfo(unpacked + QStringLiteral("/a/b/c.pdf")).isFile())
        << "folders along the name are made";
    EXPECT_FALSE(QFileInfo::exists(unpacked + QStringLiteral("/__MACOSX")));
    EXPECT_FALSE(QFileInfo::exists(unpacked + QStringLiteral("/.hidden")));
    EXPECT_EQ(r.skipped.size(), 2);

    m_installer->install(pkg, QStringLiteral("folders.zip"), {});
    EXPECT_TRUE(contents().contains(QStringLiteral("plain.pdf")));
    EXPECT_FALSE(contents().contains(QStringLiteral("plain.toc")))
        << "a PDF without a side file installs without one";
}

TEST_F(PackageInstallerTest, NothingIsWrittenOutsideThePackage)
{
    const QByteArray epub = readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")));
    const QString pkg = zip(QStringLiteral("evil.zip"),
        { { "bookinfo.meta",
              manifest({ entry(QStringLiteral("../escape.epub"), QStringLiteral("e1")),
                  entry(QStringLiteral("sub/inner.epub"), QStringLiteral("e2")),
                  entry(QStringLiteral("good.epub"), QStringLiteral("e3")) }) },
            { "../escape.epub", epub }, { "../../escape2.txt", "x" }, { "/tmp/absolute-escape.txt", "x" },
            { "a\\..\\..\\backslash.txt", "x" }, { "ok/../../dots.txt", "x" },
            { "link", "/etc", false, true }, { "sub/inner.epub", epub }, { "good.epub", epub } });
    const QString unpacked = m_dir.filePath(QStringLiteral("jail/pkg"));
    const PackageUnpacker::Result r = PackageUnpacker::unpack(pkg, unpacked);
    QStringList outside;
    for (QDirIterator it(
             m_dir.path(), QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString f = it.next();
        if (!f.startsWith(unpacked) && !f.endsWith(QStringLiteral(".zip")))
            outside << f;
    }
    EXPECT_TRUE(outside.isEmpty()) << outside.join(u' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/absolute-escape.txt")));
    EXPECT_FALSE(QFileInfo(unpacked + QStringLiteral("/link")).isSymLink());
    EXPECT_GE(r.skipped.size(), 6);

    m_installer->install(pkg, QStringLiteral("evil.zip"), {});
    EXPECT_EQ(contents(), QStringList { "good.epub" }) << "the contents folder stays flat";
    EXPECT_TRUE(m_installer->refused.contains(QStringLiteral("sub/inner.epub")));
}

TEST_F(PackageInstallerTest, ShiftJisNamesAndNestedPackages)
{
    EXPECT_EQ(PackageUnpacker::decodeName(QByteArray("\x88\xe3\x8a\x77.epub")), QStringLiteral("医学.epub"));
    EXPECT_EQ(PackageUnpacker::decodeName(QByteArray("医学.epub")), QStringLiteral("医学.epub"));
    const QByteArray epub = readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")));
    const QString sjis = zip(QStringLiteral("sjis.zip"),
        { { "bookinfo.meta", manifest({ entry(QStringLiteral("医学.epub"), QStringLiteral("e")) }) },
            { QByteArray("\x88\xe3\x8a\x77.epub"), epub, false, false, false } });
    m_installer->install(sjis, QStringLiteral("sjis.zip"), {});
    EXPECT_EQ(contents(), QStringList { "医学.epub" });

    // An outer package holding a zip: the PDF is installed once per entry.
    QTemporaryDir inner;
    const QString innerZip = inner.filePath(QStringLiteral("inner.zip"));
    ASSERT_TRUE(writeZip(innerZip,
        { { "atlas.pdf", readFile(sampleBookPath(QStringLiteral("nursing-notes.pdf"))) },
            { "atlas.toc", "{\"toc\":[]}" } }));
    const QString outer = zip(QStringLiteral("outer.zip"),
        { { "bookinfo.meta",
              manifest({ entry(QStringLiteral("atlas.pdf"), QStringLiteral("pdf-a"), QStringLiteral("First")),
                  entry(QStringLiteral("atlas.pdf"), QStringLiteral("pdf-b"), QStringLiteral("Second")) }) },
            { "inner.zip", readFile(innerZip) } });
    m_installer->install(outer, QStringLiteral("outer.zip"), {});
    EXPECT_TRUE(contents().contains(QStringLiteral("atlas.pdf")));
    EXPECT_TRUE(contents().contains(QStringLiteral("atlas.toc")));
    EXPECT_EQ(m_ui.asked, 0) << "the file is installed once, not once per entry";
    EXPECT_EQ(store().count<BookMetaData>(QStringLiteral("\"fileName\"='atlas.pdf'")), 1)
        << "one file, one record";
    EXPECT_EQ(store().findFirst<BookMetaData>(QStringLiteral("\"fileName\"='atlas.pdf'"))->title,
        QStringLiteral("First"))
        << "described by the first entry that names it";
}

// A manifest that names one file twice, in a plain package and in one
// holding a zip, gives one record for the file, and no overwrite question.
TEST_F(PackageInstallerTest, AFileTheManifestNamesTwiceIsOneRecord)
{
    const QByteArray epub = readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")));
    const QByteArray pdf = readFile(sampleBookPath(QStringLiteral("nursing-notes.pdf")));
    const QVariantList twice { entry(QStringLiteral("notes.pdf"), QStringLiteral("pdf-1"),
                                   QStringLiteral("One")),
        entry(QStringLiteral("book.epub"), QStringLiteral("e")),
        entry(QStringLiteral("notes.pdf"), QStringLiteral("pdf-2"), QStringLiteral("Two")),
        entry(QStringLiteral("book.epub"), QStringLiteral("e")) };
    m_installer->install(
        zip(QStringLiteral("plain.zip"),
            { { "bookinfo.meta", manifest(twice) }, { "notes.pdf", pdf }, { "book.epub", epub } }),
        QStringLiteral("plain.zip"), {});
    EXPECT_EQ(m_ui.asked, 0);
    EXPECT_EQ(store().count<BookMetaData>(QStringLiteral("\"fileName\"='notes.pdf'")), 1);
    EXPECT_EQ(store().count<BookMetaData>(QStringLiteral("\"fileName\"='book.epub'")), 1);
    EXPECT_EQ(m_installer->installed, (QStringList { "notes.pdf", "book.epub" }));

    QTemporaryDir inner;
    const QString innerZip = inner.filePath(QStringLiteral("inner.zip"));
    ASSERT_TRUE(writeZip(innerZip, { { "other.pdf", pdf } }));
    const QVariantList nested { entry(QStringLiteral("other.pdf"), QStringLiteral("pdf-o"),
                                    QStringLiteral("Other")),
        entry(QStringLiteral("other.pdf"), QStringLiteral("pdf-p"), QStringLiteral("Again")) };
    m_installer->install(zip(QStringLiteral("nested.zip"),
                             { { "bookinfo.meta", manifest(nested) }, { "inner.zip", readFile(innerZip) } }),
        QStringLiteral("nested.zip"), {});
    EXPECT_EQ(m_ui.asked, 0);
    EXPECT_EQ(store().count<BookMetaData>(QStringLiteral("\"fileName\"='other.pdf'")), 1);
    EXPECT_TRUE(m_ui.errors.isEmpty()) << m_ui.errors.join(u'\n').toStdString();
}

// Keeping the book already installed is the user's choice, not a package
// without books: the message says that nothing was installed and why.
TEST_F(PackageInstallerTest, DecliningTheOverwriteSaysTheBookWasKept)
{
    const QByteArray epub = readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")));
    const QString pkg = zip(QStringLiteral("p.zip"),
        { { "bookinfo.meta", manifest({ entry(QStringLiteral("book.epub"), QStringLiteral("e")) }) },
            { "book.epub", epub } });
    m_installer->install(pkg, QStringLiteral("p.zip"), {});
    ASSERT_EQ(m_installer->installed, QStringList { "book.epub" });
    m_ui.answer = false;
    m_installer->install(pkg, QStringLiteral("p.zip"), {});
    EXPECT_EQ(m_ui.asked, 1);
    EXPECT_EQ(m_ui.errors, QStringList { PackageInstaller::kKeptExisting });
    EXPECT_NE(PackageInstaller::kKeptExisting, PackageInstaller::kNoBook);
    EXPECT_EQ(store().count<BookMetaData>(), 1);
}

TEST_F(PackageInstallerTest, BookAndDictionaryTogether)
{
    m_installer.reset(); // one installer answers the import's notifications
    QTemporaryDir dicDir;
    DictionaryManager dictionaries(store(), dicDir.filePath(QStringLiteral("Dic.sqlite")));
    PackageInstaller installer(library().books(), m_ui, &dictionaries);
    const QString pkg = zip(QStringLiteral("both.zip"),
        { { "bookinfo.meta",
              manifest({ entry(QStringLiteral("good.epub"), QStringLiteral("e")),
                  entry(QStringLiteral("terms.dict"), QStringLiteral("dict-1"), QStringLiteral("用語")) }) },
            { "good.epub", readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub"))) },
            { "terms.dict", "word,meaning\n脳梗塞,cerebral infarction\n" } });
    installer.install(pkg, QStringLiteral("both.zip"), {});
    EXPECT_TRUE(contents().contains(QStringLiteral("good.epub")));
    EXPECT_TRUE(installer.analyzing());
    EXPECT_EQ(m_ui.shelves, 0) << "the shelf reloads when the import ends";
    ASSERT_TRUE(waitUntil([&] { return !installer.analyzing(); }));
    EXPECT_EQ(m_ui.shelves, 1);
    EXPECT_EQ(m_reloads, 1);
    EXPECT_EQ(dictionaries.doSearchStr(QStringLiteral("梗塞"))->size(), 1);
    EXPECT_TRUE(m_ui.errors.isEmpty());

    const QString onlyBook
        = zip(QStringLiteral("none.zip"), { { "bookinfo.meta", manifest({}) }, { "readme.txt", "x" } });
    installer.install(onlyBook, QStringLiteral("none.zip"), {});
    EXPECT_EQ(m_ui.errors, QStringList { PackageInstaller::kNoBook });
}

TEST_F(PackageInstallerTest, ZipBombIsRefusedAndLeavesNothing)
{
    const QString pkg = zip(QStringLiteral("bomb.zip"),
        { { "bookinfo.meta", manifest({ entry(QStringLiteral("zeros.epub"), QStringLiteral("z")) }) },
            { "zeros.epub", QByteArray(24 * 1024 * 1024, '\0') } });
    EXPECT_LT(QFileInfo(pkg).size(), 100 * 1024);
    m_installer->install(pkg, QStringLiteral("bomb.zip"), {});
    EXPECT_EQ(m_ui.errors, QStringList { PackageInstaller::kRefused });
    EXPECT_TRUE(contents().isEmpty());
    EXPECT_EQ(store().count<BookMetaData>(), 0);

    QList<ZipEntry> many;
    for (int i = 0; i < 4100; ++i)
        many.append({ QByteArray("f") + QByteArray::number(i), "x" });
    const PackageUnpacker::Result r = PackageUnpacker::unpack(
        zip(QStringLiteral("many.zip"), many), m_dir.filePath(QStringLiteral("many")));
    EXPECT_TRUE(r.refused) << "more than 4096 entries";
}

// Files that are no book are refused with a message, alone or in a
// package, and nothing of them is stored or registered.
TEST_F(PackageInstallerTest, DamagedBookFilesAreRefused)
{
    const struct {
        const char *name;
        QString fileName;
        QByteArray data;
    } cases[] = {
        { "empty EPUB", QStringLiteral("empty.epub"), QByteArray() },
        { "random EPUB", QStringLiteral("random.epub"), QByteArray("\x93\x11\xfe random bytes, no archive") },
        { "zip header only", QStringLiteral("header.epub"), QByteArray("PK\x03\x04 not really a zip") },
        { "zip without a package", QStringLiteral("plain.epub"), QByteArray() }, // filled below
        { "empty PDF", QStringLiteral("empty.pdf"), QByteArray() },
        { "random PDF", QStringLiteral("random.pdf"), QByteArray("<html>an error page</html>") },
        // A header is not a book: the document must open and show a page.
        { "PDF header only", QStringLiteral("header.pdf"), QByteArray("%PDF-1.4\nnothing after it\n") },
        { "PDF whose page tree lists itself", QStringLiteral("cycle.pdf"),
            hostilePdf(HostilePdf::PageTreeCycle) },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_ui.errors.clear();
        QString source = file(QStringLiteral("dl-") + c.fileName, c.data);
        if (c.fileName == u"plain.epub")
            source = zip(QStringLiteral("plain-zip"), { { "readme.txt", "no container, no package" } });
        m_installer->install(source, c.fileName, { { QStringLiteral("bookId"), QStringLiteral("x") } });
        EXPECT_EQ(m_ui.errors, QStringList { PackageInstaller::kDamaged });
        EXPECT_TRUE(contents().isEmpty());
        EXPECT_EQ(store().count<BookMetaData>(), 0);
        EXPECT_EQ(m_ui.shelves, 0);
    }

    m_ui.errors.clear();
    const QString pkg = zip(QStringLiteral("damaged.zip"),
        { { "bookinfo.meta", manifest({ entry(QStringLiteral("bad.epub"), QStringLiteral("b")) }) },
            { "bad.epub", QByteArray(2048, '\0') } });
    m_installer->install(pkg, QStringLiteral("damaged.zip"), {});
    EXPECT_EQ(m_ui.errors, QStringList { PackageInstaller::kDamaged });
    EXPECT_TRUE(contents().isEmpty());
    EXPECT_EQ(store().count<BookMetaData>(), 0);
}

// A PDF whose outline would crash the PDF library is still a readable book:
// it goes in, and the reader shows one row per page.
TEST_F(PackageInstallerTest, APdfWithABrokenOutlineIsABook)
{
    for (const HostilePdf kind : { HostilePdf::SelfChild, HostilePdf::CyclicNext }) {
        const QString name = QStringLiteral("outline%1.pdf").arg(int(kind));
        SCOPED_TRACE(name.toStdString());
        m_ui.errors.clear();
        m_installer->install(file(QStringLiteral("dl-") + name, hostilePdf(kind)), name,
            { { QStringLiteral("bookId"), QStringLiteral("pdf-") + name } });
        EXPECT_TRUE(m_ui.errors.isEmpty()) << m_ui.errors.join(u' ').toStdString();
        EXPECT_TRUE(contents().contains(name));
    }
}

// The book record and its place on the first shelf are one write: when
// the shelf link cannot be stored, no record stays behind either.
TEST_F(PackageInstallerTest, ABookIsNeverRegisteredWithoutItsShelf)
{
    library().books().addLibarywithFirstSetup();
    SqliteDatabase db;
    ASSERT_TRUE(db.open(storePath()));
    ASSERT_TRUE(db.exec(QStringLiteral("CREATE TRIGGER refuse_links BEFORE INSERT ON \"BookLabelLink\" "
                                       "BEGIN SELECT RAISE(ABORT, 'disk full'); END;")));
    m_installer->install(
        file(QStringLiteral("dl"), readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")))),
        QStringLiteral("anatomy-basics.epub"), {});
    EXPECT_EQ(store().count<BookMetaData>(), 0);
    EXPECT_EQ(store().count<BookLabelLink>(), 0);

    ASSERT_TRUE(db.exec(QStringLiteral("DROP TRIGGER refuse_links;")));
    m_installer->install(
        file(QStringLiteral("dl2"), readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")))),
        QStringLiteral("anatomy-basics.epub"), {});
    EXPECT_EQ(store().count<BookMetaData>(), 1);
    EXPECT_EQ(store().count<BookLabelLink>(QStringLiteral("\"LabelID\"=1")), 1);
}

// What an installation killed half-way leaves is cleaned up at the next
// start; what belongs to a running process is not touched.
TEST_F(PackageInstallerTest, LeftoversOfAnInterruptedInstallation)
{
    QProcess gone;
    gone.start(QStringLiteral("true"));
    ASSERT_TRUE(gone.waitForFinished());
    const QString deadPid = QString::number(gone.processId());
    const QString ownPid = QString::number(QCoreApplication::applicationPid());
    const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QDir temp(QDir::tempPath());
    const QString deadPackage = temp.filePath(QStringLiteral("tavro-package-%1-%2").arg(deadPid, uuid));
    const QString livePackage = temp.filePath(QStringLiteral("tavro-package-%1-%2").arg(ownPid, uuid));
    const QString deadDownload = temp.filePath(QStringLiteral("tavro-download-%1-%2").arg(deadPid, uuid));
    const QString otherFolder = temp.filePath(QStringLiteral("someone-else-%1").arg(uuid));
    for (const QString &dir : { deadPackage, livePackage, otherFolder })
        ASSERT_TRUE(QDir().mkpath(dir + QStringLiteral("/inner")));
    QFile(deadDownload).open(QIODevice::WriteOnly);

    const QString folder = DataFolder::contentsFolder() + u'/';
    const QString halfCopy = folder + QStringLiteral(".anatomy-basics.epub.") + uuid;
    QFile::copy(sampleBookPath(QStringLiteral("nursing-notes.pdf")), halfCopy);
    // Stored, not yet registered: the installation's marker is still there.
    auto storedWithMarker = [&](const QString &source, const QString &name) {
        QFile::copy(source, folder + name);
        QFile(InstallRecovery::installingMarker(name)).open(QIODevice::WriteOnly);
    };
    storedWithMarker(
        sampleBookPath(QStringLiteral("anatomy-basics.epub")), QStringLiteral("anatomy-basics.epub"));
    storedWithMarker(sampleBookPath(QStringLiteral("nursing-notes.pdf")), QStringLiteral("notes.pdf"));
    storedWithMarker(file(QStringLiteral("damaged"), "no book"), QStringLiteral("damaged.epub"));
    // Killed before the copy: only the marker.
    QFile(InstallRecovery::installingMarker(QStringLiteral("never-copied.epub"))).open(QIODevice::WriteOnly);
    // Put there by someone else: not ours to register or remove.
    QFile::copy(
        sampleBookPath(QStringLiteral("cardiology-epub3.epub")), folder + QStringLiteral("placed.epub"));

    const InstallRecovery::Report report = InstallRecovery::run(library().books());
    EXPECT_FALSE(QFileInfo::exists(deadPackage));
    EXPECT_FALSE(QFileInfo::exists(deadDownload));
    EXPECT_FALSE(QFileInfo::exists(halfCopy));
    EXPECT_TRUE(QFileInfo::exists(livePackage)) << "this process's own package";
    EXPECT_TRUE(QFileInfo::exists(otherFolder));
    EXPECT_EQ(report.registered, (QStringList { "anatomy-basics.epub", "notes.pdf" }));
    EXPECT_TRUE(
        library().books().findBookIDByBookMetaID(QStringLiteral("urn:tavro:anatomy-basics")).has_value());
    EXPECT_EQ(store().count<BookLabelLink>(QStringLiteral("\"LabelID\"=1")), 2) << "both on the first shelf";
    EXPECT_EQ(store().count<BookMetaData>(QStringLiteral("\"fileName\"='damaged.epub'")), 0);
    EXPECT_EQ(contents(), (QStringList { "anatomy-basics.epub", "notes.pdf", "placed.epub" }))
        << "the damaged file and every marker are gone; the placed book stays";
    EXPECT_EQ(store().count<BookMetaData>(QStringLiteral("\"fileName\"='placed.epub'")), 0);

    // The PDF, registered from disk, keeps its one record when the store's
    // download of it arrives.
    m_installer->install(
        file(QStringLiteral("dl"), readFile(sampleBookPath(QStringLiteral("nursing-notes.pdf")))),
        QStringLiteral("notes.pdf"),
        { { QStringLiteral("bookId"), QStringLiteral("pdf-notes") },
            { QStringLiteral("bookTitle"), QStringLiteral("Notes") } });
    EXPECT_EQ(store().count<BookMetaData>(QStringLiteral("\"fileName\"='notes.pdf'")), 1);
    EXPECT_EQ(store().findFirst<BookMetaData>(QStringLiteral("\"fileName\"='notes.pdf'"))->identifier,
        QStringLiteral("pdf-notes"));

    EXPECT_TRUE(InstallRecovery::run(library().books()).registered.isEmpty())
        << "a second start finds nothing to do";
    QDir(livePackage).removeRecursively();
    QDir(otherFolder).removeRecursively();
}

// Books as they come from the outside, damaged in the ways real downloads
// are. None enters the library: after each, the library and the contents
// folder are as they were, and the user is told the file is damaged.
TEST_F(PackageInstallerTest, MutatedBooksLeaveTheLibraryUnchanged)
{
    const QByteArray good = readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")));
    m_installer->install(file(QStringLiteral("good"), good), QStringLiteral("anatomy-basics.epub"), {});
    ASSERT_EQ(store().count<BookMetaData>(), 1);

    const QByteArray container = "<?xml version=\"1.0\"?><container version=\"1.0\" "
                                 "xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\"><rootfiles>"
                                 "<rootfile full-path=\"OEBPS/content.opf\" "
                                 "media-type=\"application/oebps-package+xml\"/></rootfiles></container>";
    const QByteArray head
        = "<?xml version=\"1.0\"?><package xmlns=\"http://www.idpf.org/2007/opf\" "
          "version=\"2.0\"><metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
          "<dc:identifier>urn:mutant</dc:identifier><dc:title>Mutant</dc:title></metadata>"
          "<manifest><item id=\"c1\" href=\"c1.xhtml\" media-type=\"application/xhtml+xml\"/>"
          "</manifest>";
    const QByteArray spine = "<spine><itemref idref=\"c1\"/></spine></package>";
    const QByteArray page
        = "<html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>Page one</p></body></html>";
    const auto epub = [&](const QList<ZipEntry> &entries) {
        const QString path = m_dir.filePath(QUuid::createUuid().toString(QUuid::WithoutBraces));
        QList<ZipEntry> all { { "mimetype", "application/epub+zip", true } };
        all.append(entries);
        EXPECT_TRUE(writeZip(path, all));
        return readFile(path);
    };
    // The sound book these mutate, to show the table's frame accepts it.
    const QByteArray sound = epub({ { "META-INF/container.xml", container },
        { "OEBPS/content.opf", head + spine }, { "OEBPS/c1.xhtml", page } });
    QByteArray crc = epub({ { "META-INF/container.xml", container }, { "OEBPS/content.opf", head + spine },
        { "OEBPS/c1.xhtml", page, true } });
    crc.replace("Page one", "Page ONE");

    const struct {
        const char *name;
        QByteArray data;
    } cases[] = {
        { "truncated", good.left(good.size() / 2) },
        { "truncated after the local entries", sound.left(sound.lastIndexOf("PK\x01\x02")) },
        { "no spine",
            epub({ { "META-INF/container.xml", container }, { "OEBPS/content.opf", head + "</package>" },
                { "OEBPS/c1.xhtml", page } }) },
        { "spine names no manifest item",
            epub({ { "META-INF/container.xml", container },
                { "OEBPS/content.opf", head + "<spine><itemref idref=\"gone\"/></spine></package>" },
                { "OEBPS/c1.xhtml", page } }) },
        { "no package", epub({ { "META-INF/container.xml", container }, { "OEBPS/c1.xhtml", page } }) },
        { "package only, no container",
            epub({ { "OEBPS/content.opf", head + spine }, { "OEBPS/c1.xhtml", page } }) },
        { "package is no XML",
            epub({ { "META-INF/container.xml", container }, { "OEBPS/content.opf", "<<<not xml" },
                { "OEBPS/c1.xhtml", page } }) },
        { "missing first spine item",
            epub({ { "META-INF/container.xml", container }, { "OEBPS/content.opf", head + spine } }) },
        { "first spine item damaged in the middle",
            readFile(QStringLiteral(TAVRO_FUZZ_CORPUS "/epub_zip/regression-damaged-deflate-entry.epub")) },
        { "first spine item fails its CRC", crc },
    };
    const auto snapshot = [&] {
        QStringList out = contents();
        for (const BookMetaData &b : store().findAll<BookMetaData>({}, {}, QStringLiteral("\"pk\"")))
            out << QStringLiteral("%1 %2 %3")
                       .arg(b.BookID.value_or(0))
                       .arg(b.fileName.value_or(QString()), b.title.value_or(QString()));
        out << QString::number(store().count<BookLabelLink>());
        return out;
    };
    const QStringList before = snapshot();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &name : { QStringLiteral("mutant.epub"), QStringLiteral("anatomy-basics.epub") }) {
            SCOPED_TRACE(name.toStdString());
            m_ui.errors.clear();
            m_ui.answer = true;
            m_installer->install(file(QStringLiteral("dl"), c.data), name, {});
            EXPECT_EQ(m_ui.errors, QStringList { PackageInstaller::kDamaged });
            EXPECT_TRUE(m_installer->installed.isEmpty());
            EXPECT_EQ(snapshot(), before);
            EXPECT_EQ(readFile(DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub")), good);
        }
        m_ui.errors.clear();
        m_installer->install(
            zip(QStringLiteral("m.zip"),
                { { "bookinfo.meta", manifest({ entry(QStringLiteral("m.epub"), QStringLiteral("m")) }) },
                    { "m.epub", c.data } }),
            QStringLiteral("m.zip"), {});
        EXPECT_EQ(m_ui.errors, QStringList { PackageInstaller::kDamaged }) << "in a package";
        EXPECT_EQ(snapshot(), before);
    }

    m_ui.errors.clear();
    m_installer->install(file(QStringLiteral("dl"), sound), QStringLiteral("sound.epub"), {});
    EXPECT_TRUE(m_ui.errors.isEmpty()) << m_ui.errors.join(u'\n').toStdString();
    EXPECT_EQ(m_installer->installed, QStringList { "sound.epub" });
}

// A registration that fails leaves no file and no record behind, and the
// book it was to replace comes back as it was.
TEST_F(PackageInstallerTest, AFailedRegistrationLeavesNoFileAndKeepsTheOldBook)
{
    const QByteArray anatomy = readFile(sampleBookPath(QStringLiteral("anatomy-basics.epub")));
    m_installer->install(file(QStringLiteral("a"), anatomy), QStringLiteral("anatomy-basics.epub"), {});
    ASSERT_EQ(store().count<BookMetaData>(), 1);
    SqliteDatabase db;
    ASSERT_TRUE(db.open(storePath()));
    ASSERT_TRUE(db.exec(QStringLiteral("CREATE TRIGGER refuse_books BEFORE INSERT ON \"BookMetaData\" "
                                       "BEGIN SELECT RAISE(ABORT, 'disk full'); END;"
                                       "CREATE TRIGGER refuse_updates BEFORE UPDATE ON \"BookMetaData\" "
                                       "BEGIN SELECT RAISE(ABORT, 'disk full'); END;")));
    const QByteArray cardiology = readFile(sampleBookPath(QStringLiteral("cardiology-epub3.epub")));
    m_installer->install(file(QStringLiteral("c"), cardiology), QStringLiteral("cardiology-epub3.epub"), {});
    EXPECT_TRUE(m_installer->installed.isEmpty());
    EXPECT_EQ(contents(), QStringList { "anatomy-basics.epub" }) << "the new file is gone";

    m_ui.answer = true;
    m_installer->install(file(QStringLiteral("c2"), cardiology), QStringLiteral("anatomy-basics.epub"), {});
    EXPECT_EQ(m_ui.asked, 1);
    EXPECT_TRUE(m_installer->installed.isEmpty());
    EXPECT_EQ(readFile(DataFolder::contentsFolder() + QStringLiteral("/anatomy-basics.epub")), anatomy)
        << "the replaced book is back";
    EXPECT_EQ(contents(), QStringList { "anatomy-basics.epub" }) << "nothing kept aside is left";
    EXPECT_EQ(store().count<BookMetaData>(), 1);
}

} // namespace
