#pragma once

#include "ports/PictureLoader.h"

#include <QFile>
#include <QImage>
#include <QSize>

#include <atomic>
#include <memory>
#include <string>

namespace wendel {

struct DecodedPicture {
    int code = 0; // 0, or the failure code as Probe gives it
    QImage image;
};

// A picture file opened for reading. Once cancelled, every read fails, so a
// decode running on another thread gives up at its next read.
class PictureFile final : public QFile {
public:
    void Cancel() { cancelled_.store(true); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;

private:
    std::atomic<bool> cancelled_{false};
};

struct OpenedPicture {
    int code = 0; // 0, or the failure code as Probe gives it
    std::unique_ptr<PictureFile> file;
};

// Reads picture files by their content, whatever their name says. The size
// comes from the header alone, so a decompression bomb costs nothing to refuse.
class QtPictureLoader final : public PictureLoader {
public:
    PictureProbe Probe(const std::string& path) override;
};

// Opens the file for reading, with the classic code of a failure: 53 for no
// such file, 76 for no such folder, 70 for access refused, 75 for a folder, a
// device, a pipe or a path the system will not take.
OpenedPicture OpenPicture(const std::string& path);

// Decodes the opened file straight at `size` (the JPEG decoder scales in the
// DCT), never at full size. Refuses again what Probe would refuse, as the
// file may have changed in between. Safe on any thread.
DecodedPicture DecodeOpenedPicture(QIODevice& file, QSize size);

// OpenPicture, then DecodeOpenedPicture.
DecodedPicture DecodePictureScaled(const std::string& path, QSize size);

} // namespace wendel
