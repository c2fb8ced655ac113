#include "DictionarySourceFactory.h"

#include "CsvDictionarySource.h"
#include "DictdDictionarySource.h"
#include "EpwingDictionarySource.h"
#include "StarDictDictionarySource.h"

#include <QFile>
#include <QFileInfo>

namespace
{

QByteArray head(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.read(4096);
}

std::unique_ptr<DictionarySource> byContent(const QString &path, const QByteArray &bytes)
{
    if (StarDictDictionarySource::looksLikeIfo(bytes))
        return std::make_unique<StarDictDictionarySource>(path);
    if (DictdDictionarySource::looksLikeIndex(bytes))
        return std::make_unique<DictdDictionarySource>(path);
    return nullptr;
}

} // namespace

std::unique_ptr<DictionarySource> DictionarySourceFactory::create(const QString &path)
{
    // An EPWING book is a folder of files with fixed names.
    if (const auto book = EpwingDictionarySource::bookFolder(path))
        return std::make_unique<EpwingDictionarySource>(*book);
    const QByteArray bytes = head(path);
    if (auto source = byContent(path, bytes))
        return source;
    // One of the other files of a multi-file dictionary: the file that
    // describes it, beside it.
    static const char *const kParts[] = { ".dict.dz", ".dict", ".idx.gz", ".idx", ".syn" };
    for (const char *part : kParts) {
        if (!path.endsWith(QLatin1String(part)))
            continue;
        const QString base = path.chopped(qsizetype(qstrlen(part)));
        for (const char *describing : { ".ifo", ".index" }) {
            const QString sibling = base + QLatin1String(describing);
            if (QFileInfo(sibling).isFile())
                if (auto source = byContent(sibling, head(sibling)))
                    return source;
        }
        break;
    }
    return std::make_unique<CsvDictionarySource>(path);
}
