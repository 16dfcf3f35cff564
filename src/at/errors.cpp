#include "at/errors.h"

#include "at/numbers.h"

namespace at {

namespace {

struct KnownText {
    const char* text;
    int code;
};

int extendedError(const QString& line, QLatin1String prefix, std::initializer_list<KnownText> texts)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(prefix, Qt::CaseInsensitive))
        return -1;
    const QString rest = trimmed.mid(prefix.size()).trimmed();
    if (rest.isEmpty())
        return -1;
    if (rest.at(0).isDigit())
        return rest.size() <= 6 ? NumericValue(rest) : -1;
    for (const KnownText& known : texts) {
        if (rest.compare(QLatin1String(known.text), Qt::CaseInsensitive) == 0)
            return known.code;
    }
    return -1;
}

} // namespace

int CmsError(const QString& line)
{
    return extendedError(line, QLatin1String("+CMS ERROR:"), {{"invalid memory index", kCmsInvalidIndex}});
}

int CmeError(const QString& line)
{
    return extendedError(line, QLatin1String("+CME ERROR:"), {{"not found", kCmeNotFound}});
}

} // namespace at
