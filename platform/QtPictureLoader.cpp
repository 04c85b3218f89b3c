#include "QtPictureLoader.h"

#include "display/CoverFit.h"
#include "settings/FileAccess.h"

#include <QFile>
#include <QImageReader>
#include <QString>

#include <cerrno>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace wendel {

namespace {

// The format comes from the content alone: a text file named .jpg is no JPEG.
void Configure(QImageReader& reader)
{
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false); // the header's size is then the decoded size
}

} // namespace

qint64 PictureFile::readData(char* data, qint64 maxSize)
{
    if (cancelled_.load()) return -1;
    return QFile::readData(data, maxSize);
}

OpenedPicture OpenPicture(const std::string& path)
{
    OpenedPicture opened;
    if (!IsUsablePath(path)) {
        opened.code = kPathFileAccessError;
        return opened;
    }
    auto file = std::make_unique<PictureFile>();
#ifdef Q_OS_UNIX
    // O_NONBLOCK: opening a pipe named as the cover must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        opened.code = FileErrorFromErrno(errno, path).code;
        return opened;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        // A folder, a device or a pipe is no picture file and could block.
        ::close(fd);
        opened.code = kPathFileAccessError;
        return opened;
    }
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        opened.code = kPathFileAccessError;
        return opened;
    }
#else
    file->setFileName(QString::fromStdString(path));
    if (!file->open(QIODevice::ReadOnly)) {
        opened.code = file->error() == QFileDevice::PermissionsError ? kPermissionDenied
                      : file->exists()                               ? kPathFileAccessError
                                                                     : kFileNotFound;
        return opened;
    }
#endif
    opened.file = std::move(file);
    return opened;
}

PictureProbe QtPictureLoader::Probe(const std::string& path)
{
    if (path.empty()) return {};
    OpenedPicture opened = OpenPicture(path);
    if (opened.code != 0) return {opened.code, 0, 0};
    QImageReader reader(opened.file.get());
    Configure(reader);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid()) return {kUnreadablePictureCode, 0, 0};
    return {0, size.width(), size.height()};
}

DecodedPicture DecodeOpenedPicture(QIODevice& file, QSize size)
{
    QImageReader reader(&file);
    Configure(reader);
    const QSize natural = reader.size();
    if (!natural.isValid() || !IsDecodablePictureSize(natural.width(), natural.height()) ||
        size.isEmpty()) {
        return {kUnreadablePictureCode, {}};
    }
    reader.setScaledSize(size);
    QImage image = reader.read();
    if (image.isNull()) return {kUnreadablePictureCode, {}};
    return {0, std::move(image)};
}

DecodedPicture DecodePictureScaled(const std::string& path, QSize size)
{
    OpenedPicture opened = OpenPicture(path);
    if (opened.code != 0) return {opened.code, {}};
    return DecodeOpenedPicture(*opened.file, size);
}

} // namespace wendel
