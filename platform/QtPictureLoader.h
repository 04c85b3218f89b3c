#pragma once

#include "ports/PictureLoader.h"

#include <QImage>
#include <QSize>

#include <string>

namespace wendel {

struct DecodedPicture {
    int code = 0; // 0, or the failure code as Probe gives it
    QImage image;
};

// Reads picture files by their content, whatever their name says. The size
// comes from the header alone, so a decompression bomb costs nothing to refuse.
class QtPictureLoader final : public PictureLoader {
public:
    PictureProbe Probe(const std::string& path) override;
};

// Decodes the file straight at `size` (the JPEG decoder scales in the DCT),
// never at full size. Refuses again what Probe would refuse, as the file may
// have changed in between.
DecodedPicture DecodePictureScaled(const std::string& path, QSize size);

} // namespace wendel
