// The reader's context-menu look-up of a selection (DictionaryManager::lookUp,
// which tries the folded form, English inflections and Japanese leading
// parts after the selection itself) on the full EDICT dictionary plus a
// dictionary of English medical terms, against the plain look-up of the same
// selection (doSearchStr) in the same run. 1,000 selections: EDICT headwords,
// headwords followed by a particle and more text, inflected English terms,
// and misses. Goal: 99th percentile under 16 ms (one frame).
#include "core/dictionary/DictionaryManager.h"
#include "core/library/LibraryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>

namespace
{

double millis(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed() / 1e6;
}

struct Stats {
    double median;
    double p99;
    double max;
};

Stats stats(QList<double> times)
{
    std::sort(times.begin(), times.end());
    return { times.at(times.size() / 2),
        times.at(std::min<qsizetype>(times.size() - 1, times.size() * 99 / 100)), times.last() };
}

const char *const kTerms[] = { "vertebra", "bronchus", "cervix", "apex", "carcinoma", "artery", "diagnosis",
    "ganglion", "bacterium", "foramen", "tumor", "abscess", "infect", "ulcerate", "clot", "bleed", "nucleus",
    "embolus", "fascia", "metastasis", "atrium", "diverticulum", "lumen", "thrombus", "alveolus", "fibula",
    "index", "cortex", "appendix", "stoma", "therapy", "biopsy", "ovary", "condyle", "papilla", "villus",
    "bacillus", "calculus", "septum", "hernia" };
const char *const kInflected[] = { "vertebrae", "bronchi", "cervices", "apices", "carcinomata", "arteries",
    "diagnoses", "ganglia", "bacteria", "foramina", "Tumors", "abscesses", "infected", "ulcerated",
    "clotting", "bleeding", "nuclei", "emboli", "fasciae", "metastases", "atria", "diverticula", "lumina",
    "thrombi", "alveoli", "fibulae", "indices", "cortices", "appendices", "stomata", "therapies", "biopsies",
    "ovaries", "condyles", "papillae", "villi", "bacilli", "calculi", "septa", "herniae" };

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString dir = QDir::tempPath() + QStringLiteral("/tavro-bench");
    QDir().mkpath(dir);
    const QString csv = dir + QStringLiteral("/edict.csv");
    if (!QFileInfo::exists(csv)) {
        QProcess gen;
        gen.start(
            QStringLiteral("python3"), { QStringLiteral(TAVRO_EDICT_TOOL), QStringLiteral("--out"), csv });
        gen.waitForFinished(-1);
        if (gen.exitCode() != 0) {
            std::fprintf(stderr, "cannot convert EDICT (is the edict package installed?)\n");
            return 1;
        }
    }
    QTemporaryDir work;
    const QString terms = work.filePath(QStringLiteral("terms.csv"));
    {
        QFile f(terms);
        f.open(QIODevice::WriteOnly);
        f.write("term,meaning\r\n");
        for (const char *t : kTerms)
            f.write(QByteArray(t) + ",a medical term\r\n");
    }
    LibraryStore store;
    store.open(work.filePath(QStringLiteral("Tavro.sqlite")));
    DictionaryManager manager(store, work.filePath(QStringLiteral("Dic.sqlite")));
    const double import = millis([&] {
        manager.expandDic(csv,
            { { QStringLiteral("bookId"), QStringLiteral("edict") },
                { QStringLiteral("bookTitle"), QStringLiteral("EDICT") } },
            QString());
    });
    manager.expandDic(terms,
        { { QStringLiteral("bookId"), QStringLiteral("terms") },
            { QStringLiteral("bookTitle"), QStringLiteral("terms") } },
        QString());

    // EDICT headwords, read back from the CSV's first column.
    QStringList headwords;
    {
        QFile f(csv);
        f.open(QIODevice::ReadOnly);
        f.readLine();
        while (!f.atEnd()) {
            const QString line = QString::fromUtf8(f.readLine());
            const QString word = line.section(u',', 0, 0);
            if (!word.isEmpty() && !word.startsWith(u'"'))
                headwords << word;
        }
    }
    QRandomGenerator rng(2026);
    QStringList selections;
    for (int i = 0; i < 300; ++i)
        selections << headwords.at(rng.bounded(int(headwords.size())));
    for (int i = 0; i < 200; ++i) // a headword in running text
        selections << headwords.at(rng.bounded(int(headwords.size()))) + QStringLiteral("の患者に認められた");
    for (int i = 0; i < 250; ++i)
        selections << QString::fromLatin1(kInflected[i % std::size(kInflected)]);
    for (int i = 0; i < 125; ++i) // English misses
        selections << QStringLiteral("zqxw%1ings").arg(i);
    for (int i = 0; i < 125; ++i) { // Japanese misses: rare kana runs
        QString miss;
        for (int c = 0; c < 8; ++c)
            miss += QChar(char16_t(0x3041 + rng.bounded(0x56)));
        selections << QStringLiteral("ゎ") + miss;
    }
    std::shuffle(selections.begin(), selections.end(), std::mt19937(7));

    int found = 0;
    QList<double> lookUp;
    QList<double> plain;
    for (const QString &s : selections) {
        lookUp.append(millis([&] { found += manager.lookUp(s).value().found() ? 1 : 0; }));
        plain.append(millis([&] { manager.doSearchStr(s); }));
    }
    QList<qsizetype> order(selections.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(
        order.begin(), order.end(), [&](qsizetype a, qsizetype b) { return lookUp.at(a) > lookUp.at(b); });
    std::printf("slowest selections:\n");
    for (int i = 0; i < 12; ++i) {
        const auto found = manager.lookUp(selections.at(order.at(i))).value();
        std::printf("  %8.3f ms (plain %8.3f ms) %s -> %s (%s, %lld rows)\n", lookUp.at(order.at(i)),
            plain.at(order.at(i)), qPrintable(selections.at(order.at(i))), qPrintable(found.form.text),
            qPrintable(LookupForms::ruleName(found.form.rule)), static_cast<long long>(found.rows.size()));
    }
    const Stats l = stats(lookUp);
    const Stats p = stats(plain);
    std::printf("EDICT imported in %.1f s; %lld selections, %d found\n", import / 1000.0,
        static_cast<long long>(selections.size()), found);
    std::printf("context-menu look-up: median %.3f ms, p99 %.3f ms, max %.3f ms (goal: p99 < 16 ms)\n",
        l.median, l.p99, l.max);
    std::printf(
        "  baseline doSearchStr of the selection only: median %.3f ms, p99 %.3f ms; ratio p99 %.1fx\n",
        p.median, p.p99, l.p99 / std::max(p.p99, 1e-6));
    return 0;
}
