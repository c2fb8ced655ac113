#include "JapaneseLemmas.h"

#include "core/util/Logging.h"

#include <QMutexLocker>
#include <atomic>
#include <mecab.h>
#include <vector>

namespace
{

bool hasJapanese(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0x3400 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF)
            || c.isHighSurrogate())
            return true;
    }
    return false;
}

// One morpheme as the IPA dictionary describes it: part of speech, three
// sub-classes, conjugation type and form, dictionary form, reading,
// pronunciation.
struct Morpheme {
    QString surface;
    QStringList feature;

    QString pos(int i = 0) const { return feature.value(i); }
    QString base() const
    {
        const QString b = feature.value(6);
        return b.isEmpty() || b == u"*" ? surface : b;
    }
    bool isNoun() const
    {
        // Pronouns, numbers and dependent nouns (こと, もの) look nothing up.
        return pos() == u"名詞" && pos(1) != u"代名詞" && pos(1) != u"数" && pos(1) != u"非自立"
            && pos(1) != u"接尾";
    }
    bool isNounSuffix() const { return pos() == u"名詞" && pos(1) == u"接尾"; }
    bool isNounPrefix() const { return pos() == u"接頭詞" && pos(1) == u"名詞接続"; }
    bool isSuru() const { return pos() == u"動詞" && base() == u"する"; }
    bool isInflectingContent() const { return (pos() == u"動詞" || pos() == u"形容詞") && pos(1) == u"自立"; }
};

// Verbs that only carry grammar on their own.
bool isLightVerb(const QString &base)
{
    return base == u"する" || base == u"ある" || base == u"いる" || base == u"なる";
}

} // namespace

JapaneseLemmas::JapaneseLemmas(const QString &dictionaryDir)
{
    std::vector<QByteArray> args { QByteArrayLiteral("tavro") };
    if (!dictionaryDir.isEmpty()) {
        args.push_back(QByteArrayLiteral("-d"));
        args.push_back(dictionaryDir.toLocal8Bit());
    }
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    m_tagger = mecab_new(int(argv.size()), argv.data());
    if (!m_tagger) {
        // Logged once: every look-up would otherwise say it again.
        static std::atomic<bool> said { false };
        if (!said.exchange(true)) {
            const QString why = QString::fromUtf8(mecab_strerror(nullptr)).trimmed();
            qCWarning(lcDictionary).noquote()
                << QStringLiteral("MeCab's dictionary cannot be loaded%1: Japanese selections are looked up "
                                  "without their dictionary forms")
                       .arg(why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why));
        }
    }
}

JapaneseLemmas::~JapaneseLemmas()
{
    if (m_tagger)
        mecab_destroy(m_tagger);
}

QStringList JapaneseLemmas::forms(const QString &text) const
{
    QStringList out;
    if (!m_tagger || !hasJapanese(text))
        return out;
    const QByteArray utf8 = text.left(kMaxInput).toUtf8();
    QList<Morpheme> words;
    {
        QMutexLocker lock(&m_lock);
        // The nodes belong to the tagger until its next parse: copy them out.
        for (const mecab_node_t *n = mecab_sparse_tonode2(m_tagger, utf8.constData(), size_t(utf8.size())); n;
             n = n->next) {
            if (n->stat == MECAB_BOS_NODE || n->stat == MECAB_EOS_NODE)
                continue;
            words.append(
                { QString::fromUtf8(n->surface, n->length), QString::fromUtf8(n->feature).split(u',') });
        }
    }

    auto add = [&](const QString &form) {
        if (!form.isEmpty() && hasJapanese(form) && !out.contains(form) && out.size() < kMaxForms)
            out.append(form);
    };
    for (qsizetype i = 0; i < words.size() && out.size() < kMaxForms;) {
        const Morpheme &w = words.at(i);
        if (w.isNoun() || (w.isNounPrefix() && i + 1 < words.size() && words.at(i + 1).isNoun())) {
            // A compound: a prefix, nouns and suffixes in a row.
            qsizetype end = i + 1;
            while (end < words.size() && (words.at(end).isNoun() || words.at(end).isNounSuffix()))
                ++end;
            QString whole;
            QStringList parts;
            for (qsizetype k = i; k < end; ++k) {
                whole += words.at(k).surface;
                if (words.at(k).isNoun() && words.at(k).surface.size() >= 2)
                    parts.append(words.at(k).surface);
            }
            const Morpheme &last = words.at(end - 1);
            // 投与 + さ(する): the verb 投与する, then the noun.
            if (end < words.size() && words.at(end).isSuru() && last.pos(1) == u"サ変接続")
                add(whole + QStringLiteral("する"));
            add(whole);
            if (end - i > 1)
                for (const QString &p : parts)
                    add(p);
            i = end;
            continue;
        }
        if (w.isInflectingContent() && !isLightVerb(w.base()))
            add(w.base());
        ++i;
    }
    return out;
}
