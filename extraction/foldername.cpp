#include "foldername.h"

#include <QList>

#include <cerrno>

static constexpr qsizetype lostTail = 4;
static constexpr qsizetype longestToLoseTail = 11;
static constexpr qsizetype keptOfLongName = 8;

static QString withoutTrailingBlanks(QString text)
{
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}

std::variant<QString, Failure> deriveFolderName(const QString &archiveName)
{
    // Counting code points keeps a letter outside the Basic Multilingual Plane
    // from being counted twice or cut in half.
    const QList<uint> characters = archiveName.toUcs4();
    const qsizetype length = characters.size();
    if (length < lostTail)
        return Failure::fromErrno(
            QStringLiteral("Impossibile ricavare il nome della cartella da \"%1\"")
                .arg(archiveName),
            EINVAL);

    const qsizetype kept = length > longestToLoseTail ? keptOfLongName : length - lostTail;
    return withoutTrailingBlanks(
        QString::fromUcs4(reinterpret_cast<const char32_t *>(characters.constData()), kept));
}
