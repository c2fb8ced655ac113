// Book files from disk put into the library for the reader.
#include "core/store/BookFileImport.h"
#include "core/library/BookMetaData.h"
#include "core/platform/DataFolder.h"
#include "core/store/PackageInstaller.h"
#include "support/LibraryFixture.h"
#include "support/Samples.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace
{

class ScriptedUi : public InstallerUi
{
public:
    bool overwrite = false;
    int asked = 0;
    QStringList errors;
    bool askOverwrite() override
    {
        ++asked;
        return overwrite;
    }
    void error(const QString &message) override { errors << message; }
    void showShelf() override { }
};

class BookFileImportTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        QDir(DataFolder::contentsFolder()).removeRecursively();
        ASSERT_TRUE(m_outside.isValid());
    }
    // A copy of a sample book outside the data folder, as a file manager has it.
    QString outside(const QString &sample, const QString &asName = {})
    {
        const QString path = m_outside.filePath(asName.isEmpty() ? sample : asName);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(sampleBookPath(sample), path));
        return path;
    }
    std::optional<BookMetaData> record(const QString &fileName)
    {
        return store().findFirst<BookMetaData>(QStringLiteral("\"fileName\"=?"), { fileName });
    }
    QTemporaryDir m_outside;
};

TEST_F(BookFileImportTest, EpubAndPdfAreInstalledAndRegistered)
{
    ScriptedUi ui;
    struct Row {
        QString sample;
        QString expectedTitle;
    };
    for (const Row &row : { Row { QStringLiteral("anatomy-basics.epub"), QStringLiteral("Anatomy Basics") },
             Row { QStringLiteral("nursing-notes.pdf"), QStringLiteral("nursing-notes.pdf") },
             Row { QStringLiteral("臨床薬理学ノート.epub"), {} } }) {
        const BookFileImport::Result r
            = BookFileImport::importFile(library().books(), outside(row.sample), ui);
        EXPECT_EQ(r.fileName, row.sample) << row.sample.toStdString() << r.error.toStdString();
        EXPECT_TRUE(r.installed) << row.sample.toStdString();
        EXPECT_TRUE(QFile::exists(DataFolder::contentsFolder() + u'/' + row.sample))
            << row.sample.toStdString();
        const auto book = record(row.sample);
        ASSERT_TRUE(book.has_value()) << row.sample.toStdString();
        if (!row.expectedTitle.isEmpty())
            EXPECT_EQ(book->title.value_or(QString()), row.expectedTitle) << row.sample.toStdString();
    }
    EXPECT_TRUE(ui.errors.isEmpty()) << ui.errors.join(u'|').toStdString();
    EXPECT_EQ(ui.asked, 0);
}

TEST_F(BookFileImportTest, AgainAsksAndOpensTheKeptCopyWhenDeclined)
{
    ScriptedUi ui;
    const QString file = outside(QStringLiteral("anatomy-basics.epub"));
    ASSERT_TRUE(BookFileImport::importFile(library().books(), file, ui).installed);
    const qint64 books = store().count<BookMetaData>();

    const BookFileImport::Result declined = BookFileImport::importFile(library().books(), file, ui);
    EXPECT_EQ(ui.asked, 1);
    EXPECT_FALSE(declined.installed);
    EXPECT_EQ(declined.fileName, QStringLiteral("anatomy-basics.epub")) << "the library's copy opens";

    ui.overwrite = true;
    const BookFileImport::Result replaced = BookFileImport::importFile(library().books(), file, ui);
    EXPECT_TRUE(replaced.installed);
    EXPECT_EQ(store().count<BookMetaData>(), books) << "no second record";
}

TEST_F(BookFileImportTest, UnreadableFilesAreRefusedWithAMessage)
{
    ScriptedUi ui;
    struct Row {
        QString name;
        QByteArray bytes;
        QString error;
    };
    const QList<Row> rows {
        { QStringLiteral("empty.epub"), QByteArray(), PackageInstaller::kDamaged },
        { QStringLiteral("text.pdf"), QByteArray("hello, not a PDF"), PackageInstaller::kDamaged },
        { QStringLiteral("notes.txt"), QByteArray("text"), PackageInstaller::kUnsupported },
    };
    for (const Row &row : rows) {
        QFile f(m_outside.filePath(row.name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(row.bytes);
        f.close();
        const BookFileImport::Result r = BookFileImport::importFile(library().books(), f.fileName(), ui);
        EXPECT_TRUE(r.fileName.isEmpty()) << row.name.toStdString();
        EXPECT_EQ(r.error, row.error) << row.name.toStdString();
        EXPECT_FALSE(QFile::exists(DataFolder::contentsFolder() + u'/' + row.name)) << row.name.toStdString();
    }
    EXPECT_EQ(store().count<BookMetaData>(), 0);
    const BookFileImport::Result missing
        = BookFileImport::importFile(library().books(), m_outside.filePath(QStringLiteral("gone.pdf")), ui);
    EXPECT_TRUE(missing.fileName.isEmpty());
    EXPECT_FALSE(missing.error.isEmpty());
}

} // namespace
