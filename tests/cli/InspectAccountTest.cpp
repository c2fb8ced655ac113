// tavro-inspect account-change: what a change of account would remove.
#include "Inspect.h"
#include "core/library/AccountRepository.h"
#include "core/library/LibraryStore.h"
#include "support/Samples.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QStringList listAt(const QJsonObject &o, const char *key)
{
    QStringList names;
    for (const QVariant &v : o.value(QLatin1String(key)).toArray().toVariantList())
        names << v.toString();
    return names;
}

// Signs `userId` in on the library under `home` as the sign-in sheet records it.
void recordUser(const QString &home, const QString &userId)
{
    const QByteArray saved[3] = { qgetenv("HOME"), qgetenv("XDG_DATA_HOME"), qgetenv("XDG_CONFIG_HOME") };
    qputenv("HOME", home.toUtf8());
    qputenv("XDG_DATA_HOME", (home + QStringLiteral("/.local/share")).toUtf8());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toUtf8());
    {
        LibraryStore store;
        ASSERT_TRUE(store.open(LibraryStore::defaultPath()));
        AccountRepository(store).saveUserInfo({ { QStringLiteral("userId"), userId } });
    }
    qputenv("HOME", saved[0]);
    qputenv("XDG_DATA_HOME", saved[1]);
    qputenv("XDG_CONFIG_HOME", saved[2]);
}

TEST(InspectAccount, AccountChangeRemovesOnlyStoreBooks)
{
    QTemporaryDir home;
    const QString h = home.path();
    struct Install {
        const char *file;
        QStringList extra;
    };
    const Install installs[] = {
        { "anatomy-basics.epub", { QStringLiteral("--from"), QStringLiteral("store") } },
        { "respiratory-atlas.pdf",
            { QStringLiteral("--from"), QStringLiteral("store"), QStringLiteral("--info"),
                QStringLiteral("bookId=pdf-1&bookTitle=Atlas") } },
        { "cardiology-epub3.epub", {} },
        { "nursing-notes.pdf", { QStringLiteral("--info"), QStringLiteral("bookId=9999999999") } },
    };
    for (const Install &i : installs) {
        const ProcessResult r
            = inspect(QStringList { QStringLiteral("install"), sampleBookPath(QString::fromUtf8(i.file)),
                          QStringLiteral("--home"), h }
                + i.extra);
        ASSERT_EQ(r.exitCode, 0) << i.file << ": " << r.err.toStdString();
    }
    // A PDF's outline, and a sample lying in the folder unregistered.
    const QString contents = h + QStringLiteral("/.data/contents/");
    ASSERT_TRUE(QFile::copy(sampleBookPath(QStringLiteral("respiratory-atlas.toc")),
        contents + QStringLiteral("respiratory-atlas.toc")));
    ASSERT_TRUE(QFile::copy(sampleBookPath(QStringLiteral("臨床薬理学ノート.epub")),
        contents + QStringLiteral("臨床薬理学ノート.epub")));
    const QStringList all = QDir(contents).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(all.size(), 6);

    // No account signed in yet: a first sign-in removes nothing.
    ProcessResult r = inspect({ QStringLiteral("account-change"), QStringLiteral("--home"), h });
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonObject o = QJsonDocument::fromJson(r.out).object();
    EXPECT_TRUE(o.value(QStringLiteral("previousUser")).isNull());
    EXPECT_EQ(listAt(o, "kept"), all);
    EXPECT_TRUE(listAt(o, "removed").isEmpty());

    recordUser(h, QStringLiteral("1"));
    r = inspect({ QStringLiteral("account-change"), QStringLiteral("--home"), h });
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    o = QJsonDocument::fromJson(r.out).object();
    EXPECT_EQ(o.value(QStringLiteral("previousUser")).toString(), QStringLiteral("1"));
    EXPECT_EQ(listAt(o, "removed"),
        (QStringList { QStringLiteral("anatomy-basics.epub"), QStringLiteral("respiratory-atlas.pdf"),
            QStringLiteral("respiratory-atlas.toc") }));
    EXPECT_EQ(listAt(o, "kept"),
        (QStringList { QStringLiteral("cardiology-epub3.epub"), QStringLiteral("nursing-notes.pdf"),
            QStringLiteral("臨床薬理学ノート.epub") }));
    EXPECT_EQ(QDir(contents).entryList(QDir::Files, QDir::Name), all) << "the inspector removes nothing";

    EXPECT_EQ(inspect({ QStringLiteral("account-change") }).exitCode, 2);
}

} // namespace
