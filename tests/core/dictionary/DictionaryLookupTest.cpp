// Looking a selection up as the forms a reader is likely to have selected,
// and the entry text built from a dictionary's column settings.
#include "core/dictionary/DictionaryEntry.h"
#include "core/dictionary/DictionaryManager.h"
#include "core/dictionary/JapaneseLemmas.h"
#include "core/shelf/ShelfModel.h"
#include "support/LibraryFixture.h"

#include <QFile>
#include <gtest/gtest.h>

namespace
{

class DictionaryLookupTest : public LibraryFixture
{
protected:
    void SetUp() override
    {
        LibraryFixture::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        m_manager
            = std::make_unique<DictionaryManager>(store(), m_dir.filePath(QStringLiteral("Dic.sqlite")));
    }
    void TearDown() override
    {
        m_manager.reset();
        LibraryFixture::TearDown();
    }

    bool install(const QByteArray &csv, const QString &bookId)
    {
        const QString path = m_dir.filePath(bookId + QStringLiteral(".csv"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        f.write(csv);
        f.close();
        return m_manager->expandDic(
            path, { { QStringLiteral("bookId"), bookId }, { QStringLiteral("bookTitle"), bookId } }, path);
    }

    void firstFormWithAnEntryWins(bool tagger);

    QTemporaryDir m_dir;
    std::unique_ptr<DictionaryManager> m_manager;
};

// Real EDICT entries (headword, reading, glosses as the converter writes them).
const QByteArray kEdict
    = "word,reading,meaning\r\n"
      "心筋梗塞,しんきんこうそく,heart attack; myocardial infarction\r\n"
      "高血圧,こうけつあつ,high blood pressure; hypertension; (P)\r\n"
      "脳梗塞,のうこうそく,stroke (blocked blood vessel in brain); cerebral infarction\r\n"
      "糖尿病,とうにょうびょう,diabetes; diabetes mellitus; (P)\r\n"
      "肺炎,はいえん,pneumonia; (P)\r\n"
      "カルテ,,patient's chart (ger: Karte); clinical records; (P)\r\n"
      "インフルエンザ,,influenza; flu; (P)\r\n";

// English medical terms in their dictionary form.
const QByteArray kTerms = "term,meaning\r\n"
                          "vertebra,a bone of the spinal column\r\n"
                          "bronchus,an airway branching from the trachea\r\n"
                          "cervix,the neck of the uterus\r\n"
                          "apex,the tip of an organ\r\n"
                          "carcinoma,a malignant epithelial tumour\r\n"
                          "pulmonary artery,the artery from the right ventricle to the lungs\r\n"
                          "diagnosis,the identification of a disease\r\n"
                          "ganglion,a mass of nerve cell bodies\r\n"
                          "bacterium,a single-celled organism\r\n"
                          "foramen,an opening in a bone\r\n"
                          "tumor,an abnormal growth of tissue\r\n"
                          "abscess,a collection of pus\r\n"
                          "infect,to contaminate with a pathogen\r\n"
                          "ulcerate,to form an ulcer\r\n"
                          "clot,a mass of coagulated blood\r\n"
                          "bleed,to lose blood\r\n"
                          "hypertension,abnormally high arterial blood pressure\r\n";

// The same table with and without MeCab's dictionary: without it a Japanese
// selection is found as its leading part, as before there were dictionary
// forms; with it the same word is found first as the dictionary form of
// the selection's first word.
TEST_F(DictionaryLookupTest, FirstFormWithAnEntryWins)
{
    ASSERT_TRUE(install(kEdict, QStringLiteral("edict")));
    ASSERT_TRUE(install(kTerms, QStringLiteral("terms")));
    for (const bool tagger : { false, true }) {
        SCOPED_TRACE(tagger ? "with MeCab" : "without MeCab's dictionary");
        m_manager->setJapaneseLemmas(std::make_shared<JapaneseLemmas>(
            tagger ? QString() : m_dir.filePath(QStringLiteral("no-such-dictionary"))));
        ASSERT_EQ(m_manager->japaneseLemmas()->isAvailable(), tagger);
        firstFormWithAnEntryWins(tagger);
    }
}

void DictionaryLookupTest::firstFormWithAnEntryWins(bool tagger)
{
    using R = LookupForm::Rule;
    const struct {
        const char *selection;
        const char *form; // "" for no entry
        R rule;
        const char *firstWord;
    } cases[] = {
        { "心筋梗塞", "心筋梗塞", R::Selection, "心筋梗塞" },
        { " 脳梗塞\n", "脳梗塞", R::Selection, "脳梗塞" },
        { "「高血圧」", "高血圧", R::Folded, "高血圧" },
        { "ｶﾙﾃ", "カルテ", R::Folded, "カルテ" },
        { "ＨＹＰＥＲＴＥＮＳＩＯＮ", "hypertension", R::Folded, "hypertension" },
        { "(hypertension),", "(hypertension),", R::Selection, "hypertension" }, // ASCII marks: no token
        { "（hypertension）。", "hypertension", R::Folded, "hypertension" },
        { "糖尿病の患者", "糖尿病", R::LeadingPart, "糖尿病" },
        { "肺炎を起こした。", "肺炎", R::LeadingPart, "肺炎" },
        { "ｲﾝﾌﾙｴﾝｻﾞ様症状", "インフルエンザ", R::LeadingPart, "インフルエンザ" },
        { "vertebrae", "vertebra", R::Inflection, "vertebra" },
        { "bronchi", "bronchus", R::Inflection, "bronchus" },
        { "cervices", "cervix", R::Inflection, "cervix" },
        { "apices", "apex", R::Inflection, "apex" },
        { "carcinomata", "carcinoma", R::Inflection, "carcinoma" },
        { "Pulmonary arteries", "pulmonary artery", R::Inflection, "pulmonary artery" },
        { "diagnoses", "diagnosis", R::Inflection, "diagnosis" },
        { "ganglia", "ganglion", R::Inflection, "ganglion" },
        { "bacteria", "bacterium", R::Inflection, "bacterium" },
        { "foramina", "foramen", R::Inflection, "foramen" },
        { "Tumors.", "tumor", R::Inflection, "tumor" },
        { "abscesses", "abscess", R::Inflection, "abscess" },
        { "infected", "infect", R::Inflection, "infect" },
        { "ulcerated", "ulcerate", R::Inflection, "ulcerate" },
        { "clotting", "clot", R::Inflection, "clot" },
        { "bleeding", "bleed", R::Inflection, "bleed" },
        { "xylophone", "", R::Selection, "" },
        { "骨粗鬆症", "", R::Selection, "" },
        { "「」", "", R::Selection, "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.selection);
        const auto found = m_manager->lookUp(QString::fromUtf8(c.selection));
        ASSERT_TRUE(found.has_value());
        if (!*c.form) {
            EXPECT_FALSE(found->found());
            continue;
        }
        ASSERT_TRUE(found->found());
        EXPECT_EQ(found->form.text, QString::fromUtf8(c.form));
        const R rule = tagger && c.rule == R::LeadingPart ? R::Lemma : c.rule;
        EXPECT_EQ(LookupForms::ruleName(found->form.rule), LookupForms::ruleName(rule));
        EXPECT_EQ(
            found->rows.first().value(QStringLiteral("word")).toString(), QString::fromUtf8(c.firstWord));
    }
}

TEST(JapaneseLemmasTest, DictionaryFormsOfTheContentWords)
{
    const JapaneseLemmas lemmas;
    ASSERT_TRUE(lemmas.isAvailable()) << "MeCab's IPA dictionary is installed (scripts/install-deps)";
    const struct {
        const char *text;
        QStringList forms;
    } cases[] = {
        { "投与された", { "投与する", "投与" } },
        { "腫れていた", { "腫れる" } },
        { "痛かった", { "痛い" } },
        { "服用しないで", { "服用する", "服用" } },
        // Several words: each content word in turn; helpers (ください) are none.
        { "薬を服用しないでください", { "薬", "服用する", "服用" } },
        { "肺炎を起こした", { "肺炎", "起こす" } },
        // A compound as a whole, then its longer parts.
        { "高血圧症の患者", { "高血圧症", "高血圧", "患者" } },
        { "健康な人", { "健康", "人" } },
        { "vertebrae", {} },
        { "", {} },
        { "。、", {} },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(lemmas.forms(QString::fromUtf8(c.text)), c.forms);
    }
    // A paragraph gives a bounded number of forms.
    EXPECT_LE(lemmas.forms(QString(20, u'x').replace(u'x', QStringLiteral("薬を飲んだ"))).size(),
        JapaneseLemmas::kMaxForms);
}

TEST(JapaneseLemmasTest, WithoutTheDictionaryNothing)
{
    const JapaneseLemmas lemmas(QStringLiteral("/nonexistent/mecab-dictionary"));
    EXPECT_FALSE(lemmas.isAvailable());
    EXPECT_TRUE(lemmas.forms(QStringLiteral("投与された")).isEmpty());
}

// The dictionary form comes before the leading parts, which would find a
// shorter text with more (or other) entries.
TEST_F(DictionaryLookupTest, InflectedJapaneseFindsItsDictionaryForm)
{
    ASSERT_TRUE(install("見出し,読み,意味\r\n"
                        "投与,とうよ,administration (of a drug)\r\n"
                        "投与量,とうよりょう,dose\r\n"
                        "腫れる,はれる,to swell\r\n"
                        "腫れ物,はれもの,swelling; boil\r\n"
                        "痛い,いたい,painful\r\n"
                        "痛み,いたみ,pain\r\n"
                        "痛風,つうふう,gout\r\n"
                        "服用,ふくよう,taking medicine\r\n"
                        "起こす,おこす,to cause\r\n",
        QStringLiteral("ja")));
    using R = LookupForm::Rule;
    const struct {
        const char *selection;
        const char *form;
        R rule;
        QStringList words; // the rows' headwords
    } cases[] = {
        { "投与された", "投与", R::Lemma, { "投与", "投与量" } },
        { "腫れていた", "腫れる", R::Lemma, { "腫れる" } },
        { "痛かった", "痛い", R::Lemma, { "痛い" } },
        { "服用しないで", "服用", R::Lemma, { "服用" } },
        { "「服用しないでください」", "服用", R::Lemma, { "服用" } },
        { "患者が服用しないで", "服用", R::Lemma, { "服用" } }, // the first content word has no entry
        { "痛み", "痛み", R::Selection, { "痛み" } },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.selection);
        const auto found = m_manager->lookUp(QString::fromUtf8(c.selection));
        ASSERT_TRUE(found && found->found());
        EXPECT_EQ(found->form.text, QString::fromUtf8(c.form));
        EXPECT_EQ(LookupForms::ruleName(found->form.rule), LookupForms::ruleName(c.rule));
        QStringList words;
        for (const QVariantMap &row : found->rows)
            words << row.value(QStringLiteral("word")).toString();
        EXPECT_EQ(words, c.words);
    }

    // Without MeCab's dictionary the look-up still answers, as the leading part.
    m_manager->setJapaneseLemmas(std::make_shared<JapaneseLemmas>(m_dir.filePath(QStringLiteral("none"))));
    const auto plain = m_manager->lookUp(QStringLiteral("痛かった"));
    ASSERT_TRUE(plain && plain->found());
    EXPECT_EQ(plain->form.text, QStringLiteral("痛"));
    EXPECT_EQ(plain->form.rule, R::LeadingPart);
}

TEST_F(DictionaryLookupTest, NothingEnabledIsAbsent)
{
    EXPECT_FALSE(m_manager->lookUp(QStringLiteral("肺炎")).has_value()) << "nothing installed";
    ASSERT_TRUE(install(kEdict, QStringLiteral("edict")));
    ASSERT_TRUE(m_manager->lookUp(QStringLiteral("肺炎")).has_value());
    ASSERT_TRUE(ShelfModel(library()).setDictionaryUsed(
        ShelfModel(library()).dictionaries().first().dicId.value(), false));
    EXPECT_FALSE(m_manager->lookUp(QStringLiteral("肺炎")).has_value()) << "switched off";
}

TEST_F(DictionaryLookupTest, LeadingPartsAreCapped)
{
    const QList<LookupForm> parts = LookupForms::leadingParts(QString(40, QChar(u'病')));
    ASSERT_EQ(parts.size(), LookupForms::kMaxLeadingPart);
    EXPECT_EQ(parts.first().text.size(), LookupForms::kMaxLeadingPart);
    EXPECT_EQ(parts.last().text, QStringLiteral("病"));
    EXPECT_TRUE(LookupForms::leadingParts(QStringLiteral("pulmonary artery")).isEmpty()) << "not Japanese";
}

DictionarySettingItem setting(const char *title, qint64 column)
{
    DictionarySettingItem s;
    s.columnName = QString::fromUtf8(title);
    s.columnId = column;
    return s;
}

TEST_F(DictionaryLookupTest, EntryTextByColumnPosition)
{
    const QVariantMap row { { "word", "心筋梗塞" }, { "item1", "しんきんこうそく" },
        { "item2", "myocardial infarction" }, { "item3", "循環器" }, { "item4", "注" } };
    const struct {
        const char *name;
        QList<const char *> titles;
        const char *text;
    } cases[] = {
        { "three columns", { "見出し", "読み", "意味" },
            "見出し:\r\n心筋梗塞\r\n\r\n読み:\r\nしんきんこうそく\r\n\r\n意味:\r\nmyocardial infarction" },
        { "an empty title keeps the later columns' items", { "見出し", "", "意味" },
            "見出し:\r\n心筋梗塞\r\n\r\n意味:\r\nmyocardial infarction" },
        { "an empty first title", { "", "読み" }, "読み:\r\nしんきんこうそく" },
        { "item4 under the fifth and later columns", { "a", "", "", "", "e", "f", "g" },
            "a:\r\n心筋梗塞\r\n\r\ne:\r\n注\r\n\r\nf:\r\n注\r\n\r\ng:\r\n注" },
        { "no settings", {}, "" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QList<DictionarySettingItem> settings;
        for (const char *t : c.titles)
            settings.append(setting(t, settings.size()));
        EXPECT_EQ(DictionaryEntry::text(row, settings), QString::fromUtf8(c.text));
    }
}

TEST_F(DictionaryLookupTest, EntryTextFromTheInstalledHeader)
{
    ASSERT_TRUE(install("見出し,,意味,分野,備考,出典\r\n"
                        "高血圧,こうけつあつ,hypertension,循環器,JSH2019,EDICT\r\n",
        QStringLiteral("headers")));
    const auto found = m_manager->lookUp(QStringLiteral("高血圧"));
    ASSERT_TRUE(found && found->found());
    EXPECT_EQ(m_manager->entryText(found->rows.first()),
        QStringLiteral("見出し:\r\n高血圧\r\n\r\n意味:\r\nhypertension\r\n\r\n分野:\r\n循環器\r\n\r\n"
                       "備考:\r\nJSH2019\r\n\r\n出典:\r\nJSH2019"))
        << "columns past the fifth are not stored: the sixth title shows item4";
    EXPECT_EQ(m_manager->entryText({ { "word", "x" }, { "dicId", "99" } }), QString())
        << "an unknown dictionary";
}

} // namespace
