// Picture files reached by the exact bytes of their names.
#include "formats/picture_file.h"
#include "platform/file_names.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

bool isRegularFile(const QString& fileName)
{
    struct stat st;
    return ::stat(encodeFileName(fileName).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool openPictureFile(QFile& file, const QString& fileName)
{
    const QByteArray bytes = encodeFileName(fileName);
    if (bytes == QFile::encodeName(fileName)) {
        // QFile reaches it, and keeps its name and error text.
        file.setFileName(fileName);
        return file.open(QIODevice::ReadOnly);
    }
    const int fd = ::open(bytes.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return true;
    ::close(fd);
    return false;
}

} // namespace qv
