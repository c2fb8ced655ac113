// tavro-inspect's CSV and dictionary verbs, run as a process.
#include "Inspect.h"
#include "support/EpwingBook.h"

#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

class InspectDictionary : public ::testing::Test
{
protected:
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }
    QTemporaryDir m_dir;
};

TEST_F(InspectDictionary, CsvRecordsOptionsAndErrors)
{
    const QString file = write(QStringLiteral("a.csv"), "a;\"b\"\"c\"\n#x\nd");
    const auto plain
        = inspect({ QStringLiteral("csv"), file, QStringLiteral("--delimiter"), QStringLiteral(";") });
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(plain.out).toVariant().toList().size(), 3);
    const auto options = inspect({ QStringLiteral("csv"), file, QStringLiteral("--options"),
        QStringLiteral("6"), QStringLiteral("--delimiter"), QStringLiteral(";") });
    const QVariantList rows = QJsonDocument::fromJson(options.out).toVariant().toList();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows.first().toStringList(), (QStringList { "a", "b\"c" }));

    const auto bad = inspect({ QStringLiteral("csv"), write(QStringLiteral("b.csv"), "a,b\"c") });
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains("Unexpected delimiter")) << bad.err.toStdString();
    EXPECT_EQ(
        inspect({ QStringLiteral("csv"), file, QStringLiteral("--options"), QStringLiteral("99") }).exitCode,
        2);
    EXPECT_EQ(inspect({ QStringLiteral("csv"), m_dir.filePath(QStringLiteral("none.csv")) }).exitCode, 1);
}

TEST_F(InspectDictionary, ImportThenLookUp)
{
    const QString csv = write(QStringLiteral("g.csv"),
        "word,reading,meaning\n脳梗塞,のうこうそく,cerebral infarction\n"
        "高血圧,こうけつあつ,hypertension\n");
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const auto imported = inspect(
        { QStringLiteral("dict-import"), csv, QStringLiteral("--home"), home, QStringLiteral("--book-id"),
            QStringLiteral("d1"), QStringLiteral("--title"), QStringLiteral("用語") });
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    const QList<QByteArray> lines = imported.out.trimmed().split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.first(), QByteArray("{\"status\":0}"));
    const QVariantMap end = QJsonDocument::fromJson(lines.last()).toVariant().toMap();
    EXPECT_EQ(end.value(QStringLiteral("status")).toInt(), 2);
    EXPECT_EQ(end.value(QStringLiteral("result")).toString(), QStringLiteral("installed"));

    const auto found
        = inspect({ QStringLiteral("dict-lookup"), QStringLiteral("梗塞"), QStringLiteral("--home"), home });
    ASSERT_EQ(found.exitCode, 0) << found.err.toStdString();
    const QVariantMap lookup = QJsonDocument::fromJson(found.out).toVariant().toMap();
    EXPECT_EQ(lookup.value(QStringLiteral("rule")).toString(), QStringLiteral("selection"));
    const QVariantList rows = lookup.value(QStringLiteral("rows")).toList();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().toMap().value(QStringLiteral("word")).toString(), QStringLiteral("脳梗塞"));

    const auto none = inspect({ QStringLiteral("dict-lookup"), QStringLiteral("x"), QStringLiteral("--home"),
        m_dir.filePath(QStringLiteral("empty-home")) });
    EXPECT_EQ(none.out.trimmed(), QByteArray("null")) << "no dictionary installed";
    EXPECT_EQ(inspect({ QStringLiteral("dict-import"), csv }).exitCode, 2);
}

TEST_F(InspectDictionary, LookUpFormsAndEntryText)
{
    const QString csv = write(QStringLiteral("t.csv"),
        "見出し,,意味\nvertebra,,a bone of the spinal column\nカルテ,,patient's chart\n"
        "投与,,administration\n腫れる,,to swell\n");
    const QString home = m_dir.filePath(QStringLiteral("home"));
    ASSERT_EQ(inspect({ QStringLiteral("dict-import"), csv, QStringLiteral("--home"), home,
                          QStringLiteral("--book-id"), QStringLiteral("t"), QStringLiteral("--title"),
                          QStringLiteral("t") })
                  .exitCode,
        0);
    const struct {
        const char *verb;
        const char *word;
        const char *form; // null: nothing found
        const char *rule;
    } cases[] = {
        { "dict-lookup", "Vertebrae", "vertebra", "inflection" },
        { "dict-lookup", "ｶﾙﾃ", "カルテ", "folded" },
        // The first content word, in its dictionary form.
        { "dict-entry", "カルテを見る", "カルテ", "lemma" },
        { "dict-lookup", "投与された", "投与", "lemma" },
        { "dict-lookup", "腫れていた", "腫れる", "lemma" },
        { "dict-entry", "カルテ番号を", "カルテ", "lemma" },
        { "dict-lookup", "vertebraの", "vertebra", "leadingPart" },
        { "dict-entry", "femur", nullptr, nullptr },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.word);
        const auto r = inspect(
            { QString::fromLatin1(c.verb), QString::fromUtf8(c.word), QStringLiteral("--home"), home });
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QVariantMap out = QJsonDocument::fromJson(r.out).toVariant().toMap();
        const QString list = QString::fromLatin1(c.verb) == QStringLiteral("dict-lookup")
            ? QStringLiteral("rows")
            : QStringLiteral("entries");
        if (!c.form) {
            EXPECT_TRUE(out.value(QStringLiteral("form")).isNull());
            EXPECT_TRUE(out.value(list).toList().isEmpty());
            continue;
        }
        EXPECT_EQ(out.value(QStringLiteral("form")).toString(), QString::fromUtf8(c.form));
        EXPECT_EQ(out.value(QStringLiteral("rule")).toString(), QString::fromLatin1(c.rule));
        EXPECT_EQ(out.value(list).toList().size(), 1);
    }
    const auto entry = inspect(
        { QStringLiteral("dict-entry"), QStringLiteral("vertebrae"), QStringLiteral("--home"), home });
    const QVariantMap first = QJsonDocument::fromJson(entry.out)
                                  .toVariant()
                                  .toMap()
                                  .value(QStringLiteral("entries"))
                                  .toList()
                                  .value(0)
                                  .toMap();
    EXPECT_EQ(first.value(QStringLiteral("text")).toString(),
        QStringLiteral("見出し:\r\nvertebra\r\n\r\n意味:\r\na bone of the spinal column"));
    EXPECT_EQ(inspect({ QStringLiteral("dict-entry"), QStringLiteral("x") }).exitCode, 2);
}

// The formats people own, from the files their own tools make: WordNet
// as Debian ships it (dictd) and a StarDict dictionary written by
// stardict-text2bin. A damaged file is refused with its reason and the
// dictionary installed before under the same id stays.
TEST_F(InspectDictionary, ImportDictdAndStarDict)
{
    const QString wordNet = QStringLiteral("/usr/share/dictd/wn.index");
    const QString text2bin = QStringLiteral("/usr/lib/stardict-tools/stardict-text2bin");
    ASSERT_TRUE(QFile::exists(wordNet)) << "install dict-wn (scripts/install-deps)";
    ASSERT_TRUE(QFile::exists(text2bin)) << "install stardict-tools (scripts/install-deps)";
    const QString xml = write(QStringLiteral("med.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<stardict>\n<info>\n<version>2.4.2</version>\n"
        "<bookname>医学小辞典</bookname>\n<author>a</author>\n<email>a@example.org</email>\n"
        "<website>http://example.org</website>\n<description>d</description>\n<date>2026.12.11</date>\n"
        "<dicttype>x</dicttype>\n</info>\n<contents>\n"
        "<article>\n<key>心筋梗塞</key>\n<synonym>急性心筋梗塞</synonym>\n"
        "<definition type=\"m\"><![CDATA[myocardial infarction]]></definition>\n</article>\n"
        "</contents>\n</stardict>\n");
    QProcess tool;
    tool.start(text2bin, { xml, m_dir.filePath(QStringLiteral("med.ifo")) });
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();

    const QString home = m_dir.filePath(QStringLiteral("home"));
    const auto import = [&home](const QString &file, const QString &id) {
        return inspect({ QStringLiteral("dict-import"), file, QStringLiteral("--home"), home,
            QStringLiteral("--book-id"), id });
    };
    const struct {
        const char *name;
        QString file;
        const char *word;
        const char *headword;
        const char *text;
    } cases[] = {
        { "dictd", wordNet, "myocardium", "myocardium", "middle muscular layer of the heart" },
        { "stardict", m_dir.filePath(QStringLiteral("med.ifo")), "急性心筋梗塞", "急性心筋梗塞",
            "myocardial infarction" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto imported = import(c.file, QString::fromLatin1(c.name));
        ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
        const QVariantMap end
            = QJsonDocument::fromJson(imported.out.trimmed().split('\n').last()).toVariant().toMap();
        EXPECT_EQ(end.value(QStringLiteral("result")).toString(), QStringLiteral("installed"));
        const auto found = inspect(
            { QStringLiteral("dict-entry"), QString::fromUtf8(c.word), QStringLiteral("--home"), home });
        ASSERT_EQ(found.exitCode, 0) << found.err.toStdString();
        const QVariantMap first = QJsonDocument::fromJson(found.out)
                                      .toVariant()
                                      .toMap()
                                      .value(QStringLiteral("entries"))
                                      .toList()
                                      .value(0)
                                      .toMap();
        EXPECT_EQ(first.value(QStringLiteral("word")).toString(), QString::fromUtf8(c.headword));
        const QString text = first.value(QStringLiteral("text")).toString();
        EXPECT_TRUE(text.startsWith(
            QStringLiteral("見出し語:\r\n%1\r\n\r\n内容:\r\n").arg(QString::fromUtf8(c.headword))))
            << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(c.text))) << text.toStdString();
    }

    // A StarDict dictionary whose data file went missing, in place of the
    // installed one.
    QFile::remove(m_dir.filePath(QStringLiteral("med.dict.dz")));
    const auto broken = import(m_dir.filePath(QStringLiteral("med.ifo")), QStringLiteral("stardict"));
    EXPECT_EQ(broken.exitCode, 1) << "a dictionary that did not go in is no success";
    EXPECT_TRUE(broken.err.contains("med.dict.dz")) << broken.err.toStdString();
    const QVariantMap end
        = QJsonDocument::fromJson(broken.out.trimmed().split('\n').last()).toVariant().toMap();
    EXPECT_EQ(end.value(QStringLiteral("result")).toString(), QStringLiteral("unreadable"));
    EXPECT_TRUE(end.value(QStringLiteral("message")).toString().contains(QStringLiteral("missing")));
    const auto still = inspect(
        { QStringLiteral("dict-lookup"), QStringLiteral("心筋梗塞"), QStringLiteral("--home"), home });
    QStringList words;
    for (const QVariant &row :
        QJsonDocument::fromJson(still.out).toVariant().toMap().value(QStringLiteral("rows")).toList())
        words << row.toMap().value(QStringLiteral("word")).toString();
    EXPECT_EQ(words, (QStringList { "心筋梗塞", "急性心筋梗塞" })) << "the earlier install stays";
}

// An EPWING book made by the FreePWING tools: imported by its CATALOGS
// file (or its folder), looked up with the lemma rule; a damaged copy under
// the same id is refused with its reason and the earlier install stays.
TEST_F(InspectDictionary, ImportEpwingBook)
{
    QString log;
    const QString book = makeEpwingBook(m_dir.filePath(QStringLiteral("make")), QStringLiteral("看護用語"),
        { { QStringLiteral("投与"), { QStringLiteral("薬を患者に与えること。") } },
            { QStringLiteral("腫れる"), { QStringLiteral("炎症などで体の一部がふくれる。") } } },
        &log);
    ASSERT_FALSE(book.isEmpty()) << "install freepwing (scripts/install-deps): " << log.toStdString();
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const auto import = [&home](const QString &path) {
        return inspect({ QStringLiteral("dict-import"), path, QStringLiteral("--home"), home,
            QStringLiteral("--book-id"), QStringLiteral("epwing") });
    };
    const auto lookUp = [&home](const QString &word) {
        const auto r = inspect({ QStringLiteral("dict-entry"), word, QStringLiteral("--home"), home });
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        return QJsonDocument::fromJson(r.out).toVariant().toMap();
    };

    for (const QString &path : { book + QStringLiteral("/catalogs"), book }) {
        const auto imported = import(path);
        ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
        const QVariantMap end
            = QJsonDocument::fromJson(imported.out.trimmed().split('\n').last()).toVariant().toMap();
        EXPECT_EQ(end.value(QStringLiteral("result")).toString(), QStringLiteral("installed"));
    }
    const auto shown = [&](const QString &word) {
        const QVariantMap found = lookUp(word);
        const QVariantMap first = found.value(QStringLiteral("entries")).toList().value(0).toMap();
        return QStringList { found.value(QStringLiteral("rule")).toString(),
            first.value(QStringLiteral("word")).toString(), first.value(QStringLiteral("text")).toString() };
    };
    const QStringList expected { "lemma", "腫れる",
        "見出し語:\r\n腫れる\r\n\r\n内容:\r\n炎症などで体の一部がふくれる。" };
    EXPECT_EQ(shown(QStringLiteral("腫れていた")), expected);

    QFile text(book + QStringLiteral("/SAMPLE/data/honmon"));
    ASSERT_TRUE(text.resize(100));
    const auto broken = import(book + QStringLiteral("/catalogs"));
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_TRUE(broken.err.contains("unreadable")) << broken.err.toStdString();
    EXPECT_TRUE(broken.err.contains("SAMPLE")) << broken.err.toStdString();
    EXPECT_EQ(shown(QStringLiteral("腫れていた")), expected) << "the earlier install stays";
}

} // namespace

namespace
{

TEST_F(InspectDictionary, InstallPackages)
{
    const QString home = m_dir.filePath(QStringLiteral("home"));
    const QString pkg = QStringLiteral(TAVRO_SAMPLES_DIR "/packages/pkg-respiratory.zip");
    const auto first = inspect({ QStringLiteral("install"), pkg, QStringLiteral("--home"), home });
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();
    const QVariantMap out = QJsonDocument::fromJson(first.out).toVariant().toMap();
    EXPECT_EQ(out.value(QStringLiteral("installed")).toStringList(), QStringList { "respiratory-atlas.pdf" });
    EXPECT_TRUE(out.value(QStringLiteral("shelfReloaded")).toBool());
    EXPECT_EQ(out.value(QStringLiteral("library")).toList().size(), 1);

    const auto declined = inspect({ QStringLiteral("install"), pkg, QStringLiteral("--home"), home });
    EXPECT_EQ(declined.exitCode, 1) << "already installed and not overwritten";
    const QVariantMap again = QJsonDocument::fromJson(declined.out).toVariant().toMap();
    EXPECT_TRUE(again.value(QStringLiteral("installed")).toList().isEmpty());
    EXPECT_EQ(again.value(QStringLiteral("errors")).toStringList(),
        QStringList {
            "同じ名前の本がすでにあるため、何もインストールしませんでした。本棚の本はそのままです。" });

    const auto replaced = inspect({ QStringLiteral("install"), pkg, QStringLiteral("--home"), home,
        QStringLiteral("--overwrite"), QStringLiteral("yes") });
    EXPECT_EQ(replaced.exitCode, 0);

    const auto single = inspect({ QStringLiteral("install"),
        QStringLiteral(TAVRO_SAMPLES_DIR "/books/nursing-notes.pdf"), QStringLiteral("--home"), home,
        QStringLiteral("--info"), QStringLiteral("bookId=pdf-n&bookTitle=Nursing%20Notes&print=1") });
    ASSERT_EQ(single.exitCode, 0) << single.err.toStdString();
    QStringList titles;
    for (const QVariant &b :
        QJsonDocument::fromJson(single.out).toVariant().toMap().value(QStringLiteral("library")).toList())
        titles << b.toMap().value(QStringLiteral("title")).toString();
    EXPECT_TRUE(titles.contains(QStringLiteral("Nursing Notes")));
    EXPECT_EQ(inspect({ QStringLiteral("install"), QStringLiteral("/nonexistent.zip"),
                          QStringLiteral("--home"), home })
                  .exitCode,
        1);
    EXPECT_EQ(inspect({ QStringLiteral("install"), pkg }).exitCode, 2);

    // A dictionary package: the import's end, as the download sheet tells it.
    const auto glossary = inspect({ QStringLiteral("install"),
        QStringLiteral(TAVRO_SAMPLES_DIR "/packages/pkg-glossary.zip"), QStringLiteral("--home"), home });
    ASSERT_EQ(glossary.exitCode, 0) << glossary.err.toStdString();
    const QVariantList imports = QJsonDocument::fromJson(glossary.out)
                                     .toVariant()
                                     .toMap()
                                     .value(QStringLiteral("dictionaryImports"))
                                     .toList();
    ASSERT_EQ(imports.size(), 1) << glossary.out.toStdString();
    EXPECT_EQ(
        imports.first().toMap().value(QStringLiteral("result")).toString(), QStringLiteral("installed"));
    EXPECT_EQ(imports.first().toMap().value(QStringLiteral("message")).toString(), QString());
    // Its entries are labelled with its own (Japanese) column names.
    const auto entry
        = inspect({ QStringLiteral("dict-entry"), QStringLiteral("高血圧"), QStringLiteral("--home"), home });
    ASSERT_EQ(entry.exitCode, 0) << entry.err.toStdString();
    const QVariantList entries
        = QJsonDocument::fromJson(entry.out).toVariant().toMap().value(QStringLiteral("entries")).toList();
    ASSERT_FALSE(entries.isEmpty()) << entry.out.toStdString();
    EXPECT_TRUE(entries.first()
                    .toMap()
                    .value(QStringLiteral("text"))
                    .toString()
                    .startsWith(QStringLiteral("見出し語:\r\n高血圧\r\n\r\n読み:\r\nこうけつあつ")))
        << entry.out.toStdString();

    // The top screen's recent books: none opened yet.
    const auto recent = inspect({ QStringLiteral("recent-books"), QStringLiteral("--home"), home });
    ASSERT_EQ(recent.exitCode, 0) << recent.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(recent.out).toVariant().toList().size(), 0) << recent.out.toStdString();
    EXPECT_EQ(inspect({ QStringLiteral("recent-books") }).exitCode, 2);
}

} // namespace

namespace
{

TEST_F(InspectDictionary, XmlRpcAnswers)
{
    const QString ok = write(QStringLiteral("ok.xml"),
        "<?xml version=\"1.0\"?><methodResponse><params><param><value><struct><member><name>total</name>"
        "<value><int>3</int></value></member><member><name>when</name><value><dateTime.iso8601>"
        "20261209T12:00:00</dateTime.iso8601></value></member></struct></value></param></params>"
        "</methodResponse>");
    const auto r = inspect({ QStringLiteral("xmlrpc"), ok });
    ASSERT_EQ(r.exitCode, 0);
    const QVariantMap out = QJsonDocument::fromJson(r.out).toVariant().toMap();
    EXPECT_FALSE(out.value(QStringLiteral("fault")).toBool());
    const QVariantMap fields
        = out.value(QStringLiteral("value")).toMap().value(QStringLiteral("struct")).toMap();
    EXPECT_EQ(fields.value(QStringLiteral("total")).toMap().value(QStringLiteral("int")).toInt(), 3);
    EXPECT_EQ(fields.value(QStringLiteral("when")).toMap().value(QStringLiteral("date")).toString(),
        QStringLiteral("2026-12-09T12:00:00"));
    const auto bad
        = inspect({ QStringLiteral("xmlrpc"), write(QStringLiteral("bad.xml"), "<methodResponse><params>") });
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains("not an XML-RPC method response"));
}

} // namespace
