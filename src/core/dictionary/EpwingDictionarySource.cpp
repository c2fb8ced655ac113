#include "EpwingDictionarySource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <eb/eb.h>
#include <eb/error.h>
#include <eb/text.h>
#include <mutex>
#include <unicode/ucnv.h>

namespace
{

// Every call into libeb, from any source, runs under this lock (see the
// header).
std::mutex &libraryLock()
{
    static std::mutex lock;
    return lock;
}

bool initializeLibrary()
{
    static const bool ready = eb_initialize_library() == EB_SUCCESS;
    return ready;
}

// The bytes that mark where a search key starts and ends in an entry's
// text as read: control characters, which the book's text never holds.
constexpr char kKeyBegin = '\x01';
constexpr char kKeyEnd = '\x02';

EB_Error_Code markKeyBegin(EB_Book *book, EB_Appendix *, void *, EB_Hook_Code, int, const unsigned int *)
{
    return eb_write_text_byte1(book, kKeyBegin);
}

EB_Error_Code markKeyEnd(EB_Book *book, EB_Appendix *, void *, EB_Hook_Code, int, const unsigned int *)
{
    return eb_write_text_byte1(book, kKeyEnd);
}

// A character drawn from the book's own font, or one of a character set we
// do not decode: the geta mark 〓 (JIS X 0208 row 2, cell 14), the usual
// stand-in for a character that cannot be shown; "?" in an ISO 8859-1 book.
// The container is the source's "text is ISO 8859-1" flag.
EB_Error_Code placeholder(EB_Book *book, EB_Appendix *, void *latin1, EB_Hook_Code, int, const unsigned int *)
{
    if (latin1 && *static_cast<const bool *>(latin1))
        return eb_write_text_byte1(book, '?');
    return eb_write_text_byte2(book, 0xA2, 0xAE);
}

bool isCatalogName(const QString &name)
{
    return name.compare(QLatin1String("catalogs"), Qt::CaseInsensitive) == 0
        || name.compare(QLatin1String("catalog"), Qt::CaseInsensitive) == 0;
}

bool holdsCatalog(const QDir &dir)
{
    const QStringList files = dir.entryList(QDir::Files | QDir::Hidden);
    return std::any_of(files.begin(), files.end(), isCatalogName);
}

// Where an entry starts, as one number that grows through the text.
qint64 linear(const EB_Position &p)
{
    return qint64(p.page) * 2048 + p.offset;
}

} // namespace

void EpwingDictionarySource::BookDeleter::operator()(EB_Book_Struct *book) const
{
    const std::lock_guard lock(libraryLock());
    eb_finalize_book(book);
    delete book;
}

void EpwingDictionarySource::HooksetDeleter::operator()(EB_Hookset_Struct *hooks) const
{
    eb_finalize_hookset(hooks);
    delete hooks;
}

void EpwingDictionarySource::ConverterDeleter::operator()(UConverter *converter) const
{
    ucnv_close(converter);
}

EpwingDictionarySource::EpwingDictionarySource(QString bookFolder)
    : m_folder(std::move(bookFolder))
{
}

EpwingDictionarySource::~EpwingDictionarySource() = default;

QStringList EpwingDictionarySource::columns() const
{
    return { QStringLiteral("見出し語"), QStringLiteral("内容") };
}

std::optional<QString> EpwingDictionarySource::bookFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        const QDir dir(info.absoluteFilePath());
        if (holdsCatalog(dir))
            return dir.absolutePath();
        return std::nullopt;
    }
    if (!info.isFile())
        return std::nullopt;
    if (isCatalogName(info.fileName()))
        return info.absolutePath();
    // BOOK/SUBBOOK/DATA/HONMON (or HONMON.EBZ, HONMON2 …).
    if (info.fileName().startsWith(QLatin1String("honmon"), Qt::CaseInsensitive)) {
        QDir dir = info.absoluteDir();
        if (dir.cdUp() && dir.cdUp() && holdsCatalog(dir))
            return dir.absolutePath();
    }
    return std::nullopt;
}

QString EpwingDictionarySource::failure(const QString &what, int code) const
{
    // libeb's messages may come translated, in a charset of its own; only
    // plain ASCII ones are kept beside the code's name.
    const QByteArray message(eb_error_message(code));
    bool ascii = true;
    for (const char c : message)
        ascii = ascii && uchar(c) < 0x80;
    const QString name = QString::fromLatin1(eb_error_string(code));
    return ascii && !message.isEmpty()
        ? QStringLiteral("%1: %2 (%3)").arg(what, QString::fromLatin1(message), name)
        : QStringLiteral("%1 (%2)").arg(what, name);
}

DictionarySource::OpenResult EpwingDictionarySource::open(const std::function<bool()> &isCancelled)
{
    const QString shown = QDir::toNativeSeparators(m_folder);
    // An absolute local path: libeb would take "ebnet://…" for a server.
    const QFileInfo folder(m_folder);
    if (!folder.isDir()) {
        m_error = QStringLiteral("%1 is not a folder").arg(shown);
        return OpenResult::Unreadable;
    }
    const QByteArray path = QFile::encodeName(folder.absoluteFilePath());

    UErrorCode status = U_ZERO_ERROR;
    m_euc.reset(ucnv_open("EUC-JP", &status));
    if (U_FAILURE(status) || !m_euc) {
        m_euc.reset();
        m_error = QStringLiteral("no EUC-JP converter to read %1 with").arg(shown);
        return OpenResult::Unreadable;
    }

    {
        const std::lock_guard lock(libraryLock());
        if (!initializeLibrary()) {
            m_error = QStringLiteral("libeb cannot be initialised");
            return OpenResult::Unreadable;
        }
        m_book.reset(new EB_Book);
        eb_initialize_book(m_book.get());
        int code = eb_bind(m_book.get(), path.constData());
        if (code != EB_SUCCESS) {
            m_error = failure(QStringLiteral("%1 is not an EPWING book that can be read").arg(shown), code);
            return OpenResult::Unreadable;
        }
        EB_Character_Code charset = EB_CHARCODE_INVALID;
        code = eb_character_code(m_book.get(), &charset);
        if (code != EB_SUCCESS || charset == EB_CHARCODE_INVALID) {
            m_error = failure(QStringLiteral("the book in %1 names no known character set").arg(shown), code);
            return OpenResult::Unreadable;
        }
        m_latin1 = charset == EB_CHARCODE_ISO8859_1;

        EB_Subbook_Code codes[EB_MAX_SUBBOOKS];
        int count = 0;
        code = eb_subbook_list(m_book.get(), codes, &count);
        if (code != EB_SUCCESS || count <= 0) {
            m_error = code != EB_SUCCESS
                ? failure(QStringLiteral("cannot list the subbooks of %1").arg(shown), code)
                : QStringLiteral("the book in %1 has no subbooks").arg(shown);
            return OpenResult::Unreadable;
        }
        m_subbooks.assign(codes, codes + std::min(count, EB_MAX_SUBBOOKS));
        QStringList titles;
        for (const int subbook : m_subbooks) {
            char title[EB_MAX_TITLE_LENGTH + 1] = {};
            char directory[EB_MAX_DIRECTORY_NAME_LENGTH + 1] = {};
            eb_subbook_title2(m_book.get(), subbook, title);
            eb_subbook_directory2(m_book.get(), subbook, directory);
            const QString name
                = decode(QByteArray(title, qsizetype(qstrnlen(title, sizeof title)))).simplified();
            m_subbookNames.push_back(QString::fromLatin1(directory, qstrnlen(directory, sizeof directory)));
            if (!name.isEmpty() && !titles.contains(name))
                titles << name;
        }
        m_title = titles.join(QStringLiteral(" / "));

        m_hooks.reset(new EB_Hookset);
        eb_initialize_hookset(m_hooks.get());
        static const EB_Hook kHooks[] = {
            { EB_HOOK_BEGIN_KEYWORD, markKeyBegin },
            { EB_HOOK_END_KEYWORD, markKeyEnd },
            { EB_HOOK_NARROW_FONT, placeholder },
            { EB_HOOK_WIDE_FONT, placeholder },
            { EB_HOOK_GB2312, placeholder },
            { EB_HOOK_NULL, nullptr },
        };
        eb_set_hooks(m_hooks.get(), kHooks);
    }

    for (int i = 0; i < int(m_subbooks.size()); ++i) {
        bool cancelled = false;
        if (!listEntries(i, isCancelled, &cancelled))
            return cancelled ? OpenResult::Cancelled : OpenResult::Unreadable;
    }
    if (m_entries.empty()) {
        m_error = m_withoutText.isEmpty()
            ? QStringLiteral("the book in %1 holds no entries").arg(shown)
            : QStringLiteral("the book in %1 holds no entries: no text in the subbook %2 (a missing or "
                             "damaged HONMON file)")
                  .arg(shown, m_withoutText.join(QStringLiteral(", ")));
        return OpenResult::Unreadable;
    }
    m_buffer.resize(64 * 1024);
    return OpenResult::Ready;
}

bool EpwingDictionarySource::selectSubbook(int index)
{
    if (m_current == index)
        return true;
    m_current = -1;
    const int code = eb_set_subbook(m_book.get(), m_subbooks[size_t(index)]);
    if (code != EB_SUCCESS) {
        m_error
            = failure(QStringLiteral("cannot open the subbook %1").arg(m_subbookNames[size_t(index)]), code);
        return false;
    }
    m_current = index;
    return true;
}

bool EpwingDictionarySource::listEntries(int index, const std::function<bool()> &isCancelled, bool *cancelled)
{
    const QString name = m_subbookNames[size_t(index)];
    std::unique_lock lock(libraryLock());
    if (!selectSubbook(index))
        return false;
    // A subbook of pictures or sounds only has no text: no entries.
    if (!eb_have_text(m_book.get())) {
        m_withoutText << name;
        return true;
    }
    EB_Position at {};
    int code = eb_text(m_book.get(), &at);
    if (code == EB_SUCCESS)
        code = eb_seek_text(m_book.get(), &at);
    if (code != EB_SUCCESS) {
        m_error = failure(QStringLiteral("cannot find the text of the subbook %1").arg(name), code);
        return false;
    }
    qint64 last = -1;
    for (size_t walked = 1;; ++walked) {
        // Each step moves forward, so a damaged book ends too.
        if (linear(at) <= last) {
            m_error = QStringLiteral("the text of the subbook %1 does not advance at page %2")
                          .arg(name)
                          .arg(at.page);
            return false;
        }
        last = linear(at);
        m_entries.push_back({ index, at.page, at.offset });
        if (m_entries.size() > kMaxEntries) {
            m_error = QStringLiteral("the book holds more than %1 entries").arg(kMaxEntries);
            return false;
        }
        if (walked % 1024 == 0) {
            // Another book's import may take its turn meanwhile.
            lock.unlock();
            if (isCancelled && isCancelled()) {
                *cancelled = true;
                return false;
            }
            lock.lock();
        }
        code = eb_forward_text(m_book.get(), nullptr);
        if (code == EB_ERR_END_OF_CONTENT)
            return true;
        if (code == EB_SUCCESS)
            code = eb_tell_text(m_book.get(), &at);
        if (code != EB_SUCCESS) {
            m_error = failure(
                QStringLiteral("cannot read the text of the subbook %1 after entry %2").arg(name).arg(walked),
                code);
            return false;
        }
    }
}

std::optional<QByteArray> EpwingDictionarySource::readEntry(const Entry &entry)
{
    const std::lock_guard lock(libraryLock());
    if (!selectSubbook(entry.subbook))
        return std::nullopt;
    const EB_Position at = { entry.page, entry.offset };
    int code = eb_seek_text(m_book.get(), &at);
    QByteArray text;
    while (code == EB_SUCCESS) {
        ssize_t length = 0;
        code = eb_read_text(m_book.get(), nullptr, m_hooks.get(), &m_latin1, size_t(m_buffer.size() - 1),
            m_buffer.data(), &length);
        if (code != EB_SUCCESS || length <= 0)
            break;
        text.append(m_buffer.constData(), qsizetype(length));
        if (text.size() >= kMaxEntryBytes || eb_is_text_stopped(m_book.get()))
            break;
    }
    if (code != EB_SUCCESS) {
        m_error = failure(QStringLiteral("cannot read the entry at page %1 of the subbook %2")
                              .arg(entry.page)
                              .arg(m_subbookNames[size_t(entry.subbook)]),
            code);
        return std::nullopt;
    }
    return text;
}

QString EpwingDictionarySource::decode(const QByteArray &bytes)
{
    if (m_latin1 || !m_euc)
        return QString::fromLatin1(bytes);
    // One EUC-JP character, of one to three bytes, is one UTF-16 unit.
    QString out(bytes.size(), Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(m_euc.get());
    const int32_t n = ucnv_toUChars(m_euc.get(), reinterpret_cast<UChar *>(out.data()), int32_t(out.size()),
        bytes.constData(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING)
        return QString::fromLatin1(bytes);
    out.truncate(n);
    return out;
}

bool EpwingDictionarySource::next(QStringList *fields)
{
    while (m_next < m_entries.size() && m_error.isEmpty()) {
        const auto bytes = readEntry(m_entries[m_next]);
        if (!bytes)
            return false;
        ++m_next;
        QString text = decode(*bytes);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

        // The headword: the first search key, when the entry starts with
        // it (its line is then the heading, not part of the text), else
        // the first line.
        QString headword;
        const qsizetype begin = text.indexOf(QLatin1Char(kKeyBegin));
        const qsizetype end = begin < 0 ? -1 : text.indexOf(QLatin1Char(kKeyEnd), begin + 1);
        if (end > begin + 1) {
            headword = text.mid(begin + 1, end - begin - 1);
            if (text.first(begin).trimmed().isEmpty())
                text.remove(0, end + 1);
        }
        text.remove(QLatin1Char(kKeyBegin));
        text.remove(QLatin1Char(kKeyEnd));
        text = text.trimmed();
        headword = headword.simplified();
        if (headword.isEmpty()) {
            const qsizetype line = text.indexOf(u'\n');
            headword = text.first(line < 0 ? text.size() : line).simplified();
            text = line < 0 ? QString() : text.sliced(line + 1).trimmed();
        }
        if (headword.isEmpty())
            continue;
        *fields = QStringList { headword, text };
        return true;
    }
    return false;
}
