#include "settings/systemerror.h"

#include <cerrno>
#include <cstring>

namespace {

// Every errno value the bench names in its own words.
constexpr int kKnown[] = {ENOENT, ENOSPC, EDQUOT, EFBIG, EIO, EACCES, EPERM, EROFS, EMFILE, ENFILE,
    EISDIR, ENOTDIR, EEXIST, ENAMETOOLONG, ELOOP, EBUSY, ENODEV, ENXIO, ENOMEM, EAGAIN, ENOTTY,
    ETXTBSY, EXDEV, EINVAL};

} // namespace

QString SystemError::text(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
        return QStringLiteral("нет такого файла или папки");
    case ENOSPC:
        return QStringLiteral("диск заполнен");
    case EDQUOT:
        return QStringLiteral("исчерпана дисковая квота");
    case EFBIG:
        return QStringLiteral("файл достиг предельного размера");
    case EIO:
        return QStringLiteral("ошибка ввода-вывода диска");
    case EACCES:
    case EPERM:
        return QStringLiteral("нет прав доступа");
    case EROFS:
        return QStringLiteral("диск доступен только для чтения");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("открыто слишком много файлов");
    case EISDIR:
        return QStringLiteral("это папка, а не файл");
    case ENOTDIR:
        return QStringLiteral("часть пути не папка");
    case EEXIST:
        return QStringLiteral("файл уже есть");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинное имя");
    case ELOOP:
        return QStringLiteral("символические ссылки в пути замкнуты в круг");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("файл или устройство заняты");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("устройство не найдено");
    case ENOMEM:
        return QStringLiteral("не хватает памяти");
    case EAGAIN:
        return QStringLiteral("устройство временно недоступно");
    case ENOTTY:
        return QStringLiteral("устройство не поддерживает эту операцию");
    case EINVAL:
        return QStringLiteral("недопустимый параметр");
    case EXDEV:
        return QStringLiteral("файл нельзя перенести на другой диск");
    default:
        // Rare enough to keep the system's own words beside the number for whoever looks
        // into it.
        return QStringLiteral("системная ошибка %1 (%2)")
            .arg(errorNumber)
            .arg(QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

int SystemError::numberOf(const QString &reason)
{
    if (reason.isEmpty())
        return 0;
    for (const int number : kKnown) {
        if (qt_error_string(number) == reason)
            return number;
    }
    return 0;
}

QString SystemError::fromQt(const QString &reason)
{
    const int number = numberOf(reason);
    return number ? text(number) : reason;
}
