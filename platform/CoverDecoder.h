#pragma once

#include "QtPictureLoader.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QThreadPool>

#include <memory>

namespace wendel {

// Decodes cover pictures on the threads of `pool` (the board gives it one of
// its own), so that a picture of many megapixels never holds up the board or
// its input. Each outcome comes back on the GUI thread through Decoded, and
// only the latest one: starting another decode, or Cancel, drops the one
// under way, which stops at its next read. Destroying the decoder waits for
// that, so the pool must outlive it.
class CoverDecoder final : public QObject {
    Q_OBJECT
public:
    explicit CoverDecoder(QThreadPool& pool, QObject* parent = nullptr);
    ~CoverDecoder() override;

    // Decodes the opened file at `size`. No file stands for the empty
    // picture: its outcome is 0 with a null image.
    void Start(std::unique_ptr<PictureFile> file, QSize size);
    void Cancel();

signals:
    // 0 with the picture, or the failure code with a null image.
    void Decoded(int code, const QImage& picture);

private:
    void Finish(quint64 generation, const DecodedPicture& decoded);

    QThreadPool& pool_;
    quint64 generation_ = 0; // of the latest decode; older outcomes are dropped
    std::shared_ptr<PictureFile> decoding_;
};

} // namespace wendel
