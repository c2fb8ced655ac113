// The dictionary window's incremental prefix look-up (DictionaryBrowser::
// headwords, a page of rows for what has been typed so far) and the
// reader's look-up of inflected Japanese selections through their
// dictionary forms (DictionaryManager::lookUp with MeCab), on the full
// EDICT dictionary plus a second dictionary of 150,000 generated terms.
//
// Baselines in the same run: the prefix query on the full-text table
// (DictionaryManager::doSearchStr of the same text) for the window, and the
// look-up of the same selections without MeCab's dictionary for the lemmas.
// Goals: both p99 under 16 ms (one frame).
#include "core/dictionary/DictionaryBrowser.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/dictionary/JapaneseLemmas.h"
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

void report(const char *what, const QList<double> &times, const char *baseline, const QList<double> &base)
{
    const Stats s = stats(times);
    const Stats b = stats(base);
    std::printf(
        "%s: median %.3f ms, p99 %.3f ms, max %.3f ms (goal: p99 < 16 ms)\n", what, s.median, s.p99, s.max);
    std::printf("  baseline %s: median %.3f ms, p99 %.3f ms; ratio p99 %.2fx\n", baseline, b.median, b.p99,
        s.p99 / std::max(b.p99, 1e-6));
}

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
    QRandomGenerator rng(2026);
    // The second dictionary: terms of one or two words over a small
    // alphabet, so that short prefixes match tens of thousands of rows.
    const QString terms = work.filePath(QStringLiteral("terms.csv"));
    {
        QFile f(terms);
        f.open(QIODevice::WriteOnly);
        f.write("term,meaning\r\n");
        static const char *const kParts[] = { "cardi", "hepat", "nephr", "neur", "oste", "pneum", "gastr",
            "derm", "hem", "my", "arthr", "enter", "col", "cyst", "angi", "lymph" };
        static const char *const kEnds[]
            = { "itis", "osis", "oma", "algia", "ectomy", "otomy", "opathy", "ology", "emia", "uria" };
        for (int i = 0; i < 150000; ++i) {
            const QByteArray a = kParts[rng.bounded(int(std::size(kParts)))];
            const QByteArray b = kParts[rng.bounded(int(std::size(kParts)))];
            const QByteArray e = kEnds[rng.bounded(int(std::size(kEnds)))];
            f.write(a + "o" + b + e + QByteArray::number(i) + (i % 3 ? "" : " syndrome")
                + ",a generated term of medicine\r\n");
        }
    }
    LibraryStore store;
    store.open(work.filePath(QStringLiteral("Tavro.sqlite")));
    DictionaryManager manager(store, work.filePath(QStringLiteral("Dic.sqlite")));
    manager.expandDic(csv,
        { { QStringLiteral("bookId"), QStringLiteral("edict") },
            { QStringLiteral("bookTitle"), QStringLiteral("EDICT") } },
        QString());
    manager.expandDic(terms,
        { { QStringLiteral("bookId"), QStringLiteral("terms") },
            { QStringLiteral("bookTitle"), QStringLiteral("terms") } },
        QString());

    QStringList headwords;
    {
        QFile f(csv);
        f.open(QIODevice::ReadOnly);
        f.readLine();
        while (!f.atEnd()) {
            const QString word = QString::fromUtf8(f.readLine()).section(u',', 0, 0);
            if (!word.isEmpty() && !word.startsWith(u'"'))
                headwords << word;
        }
    }

    // What a person types, one character at a time: every prefix of a
    // headword up to four characters, Japanese and English.
    DictionaryBrowser browser(manager, QStringLiteral("benchDictionaryHistory"));
    const double indexing = millis([&] { browser.headwords(QStringLiteral("a")); });
    QStringList typed;
    for (int i = 0; i < 250; ++i) {
        const QString w = headwords.at(rng.bounded(int(headwords.size())));
        for (int n = 1; n <= std::min<qsizetype>(4, w.size()); ++n)
            typed << w.left(n);
    }
    for (const char *w : { "cardiohepatitis", "pneumogastroma", "osteoarthralgia", "hemocystemia" })
        for (int n = 1; n <= 6; ++n)
            typed << QString::fromLatin1(w).left(n);
    QList<double> prefix;
    QList<double> fts;
    qsizetype rows = 0;
    for (const QString &t : typed) {
        prefix.append(millis([&] { rows += browser.headwords(t)->size(); }));
        fts.append(millis([&] { manager.doSearchStr(t); }));
    }

    // Inflected selections: an EDICT noun used as a verb, and plain verbs
    // and adjectives in their past and negative forms.
    static const char *const kInflected[] = { "投与された", "腫れていた", "痛かった", "服用しないで",
        "検査された", "発熱していた", "出血しなかった", "治療を受けていた", "咳が続いていた", "頭が痛かった",
        "薬を服用しないでください", "手術を受けた", "腫瘍が見つかった", "血圧が高かった", "熱が下がらない" };
    static const char *const kEndings[]
        = { "された", "していた", "しないで", "しなかった", "される", "させた", "しています" };
    QStringList selections;
    for (const char *s : kInflected)
        selections << QString::fromUtf8(s);
    for (int i = 0; i < 400; ++i)
        selections << headwords.at(rng.bounded(int(headwords.size())))
                + QString::fromUtf8(kEndings[rng.bounded(int(std::size(kEndings)))]);

    std::shared_ptr<JapaneseLemmas> lemmas;
    const double tagger = millis([&] { lemmas = std::make_shared<JapaneseLemmas>(); });
    if (!lemmas->isAvailable()) {
        std::fprintf(stderr, "MeCab's IPA dictionary is missing (mecab-ipadic-utf8)\n");
        return 1;
    }
    const auto without = std::make_shared<JapaneseLemmas>(work.filePath(QStringLiteral("none")));
    QList<double> withLemmas;
    QList<double> plain;
    int byLemma = 0;
    for (const QString &s : selections) {
        manager.setJapaneseLemmas(lemmas);
        withLemmas.append(millis([&] {
            const auto found = manager.lookUp(s);
            byLemma += found && found->form.rule == LookupForm::Rule::Lemma ? 1 : 0;
        }));
        manager.setJapaneseLemmas(without);
        plain.append(millis([&] { manager.lookUp(s); }));
    }

    std::printf(
        "headword index made in %.0f ms on first use; MeCab tagger made in %.0f ms\n", indexing, tagger);
    std::printf("%lld prefixes typed, %lld rows listed\n", static_cast<long long>(typed.size()),
        static_cast<long long>(rows));
    report("window prefix look-up (200 rows at most)", prefix, "full-text prefix query (doSearchStr)", fts);
    std::printf("%lld inflected selections, %d found by a dictionary form\n",
        static_cast<long long>(selections.size()), byLemma);
    report("lemma look-up (lookUp with MeCab)", withLemmas, "lookUp without MeCab's dictionary", plain);
    store.close();
    return 0;
}
