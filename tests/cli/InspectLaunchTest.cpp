// tavro-inspect --version, resources, open and instance-message.
#include "Inspect.h"
#include "support/Samples.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QJsonObject json(const ProcessResult &r)
{
    return QJsonDocument::fromJson(r.out).object();
}

TEST(InspectLaunch, VersionAndResources)
{
    const ProcessResult version = inspect({ QStringLiteral("--version") });
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("tavro-inspect ")) << version.out.toStdString();

    const ProcessResult resources = inspect({ QStringLiteral("resources") });
    ASSERT_EQ(resources.exitCode, 0) << resources.err.toStdString();
    EXPECT_TRUE(json(resources).value(QStringLiteral("found")).toBool()) << resources.out.toStdString();
    EXPECT_TRUE(
        json(resources).value(QStringLiteral("qtTranslations")).toArray().contains(QStringLiteral("qtbase")))
        << "Qt's own dialogs in Japanese: " << resources.out.toStdString();
}

TEST(InspectLaunch, OpenPutsBooksIntoTheLibrary)
{
    QTemporaryDir home;
    const QString epub = sampleBookPath(QStringLiteral("anatomy-basics.epub"));
    const QString pdf = sampleBookPath(QStringLiteral("nursing-notes.pdf"));
    const ProcessResult r
        = inspect({ QStringLiteral("open"), epub, pdf, QStringLiteral("--home"), home.path() });
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString() << r.out.toStdString();
    const QJsonArray opened = json(r).value(QStringLiteral("opened")).toArray();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.at(0)[QStringLiteral("fileName")].toString(), QStringLiteral("anatomy-basics.epub"));
    EXPECT_TRUE(opened.at(0)[QStringLiteral("installed")].toBool());
    EXPECT_TRUE(opened.at(1)[QStringLiteral("reader")].toObject().contains(QStringLiteral("pdfurl")))
        << r.out.toStdString();

    // Once more: the library's copy is kept and opened; a stray argument fails the run.
    const ProcessResult again = inspect(
        { QStringLiteral("open"), epub, QStringLiteral("notes.txt"), QStringLiteral("--home"), home.path() });
    EXPECT_EQ(again.exitCode, 1);
    const QJsonObject o = json(again);
    EXPECT_FALSE(o.value(QStringLiteral("opened")).toArray().at(0)[QStringLiteral("installed")].toBool());
    EXPECT_EQ(o.value(QStringLiteral("rejected")).toArray().size(), 1);
}

TEST(InspectLaunch, InstanceMessage)
{
    const QString epub = sampleBookPath(QStringLiteral("anatomy-basics.epub"));
    const ProcessResult r = inspect({ QStringLiteral("instance-message"), epub });
    ASSERT_EQ(r.exitCode, 0);
    EXPECT_EQ(json(r).value(QStringLiteral("files")).toArray().at(0).toString(), epub);
    EXPECT_TRUE(json(r).value(QStringLiteral("message")).toString().contains(QStringLiteral("\"v\":1")));
}

TEST(InspectLaunch, Shortcuts)
{
    const ProcessResult r = inspect({ QStringLiteral("shortcuts") });
    ASSERT_EQ(r.exitCode, 0);
    const QJsonArray list = QJsonDocument::fromJson(r.out).array();
    bool help = false;
    for (const QJsonValue &v : list)
        help = help || v[QStringLiteral("keys")].toString() == QStringLiteral("F1");
    EXPECT_TRUE(help) << r.out.toStdString();
}

} // namespace
