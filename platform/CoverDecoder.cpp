#include "CoverDecoder.h"

#include <QMetaObject>

#include <utility>

namespace wendel {

CoverDecoder::CoverDecoder(QThreadPool& pool, QObject* parent)
    : QObject(parent),
      pool_(pool)
{
    setObjectName(QStringLiteral("CoverDecoder"));
}

CoverDecoder::~CoverDecoder()
{
    Cancel();
    pool_.waitForDone();
}

void CoverDecoder::Start(std::unique_ptr<PictureFile> file, QSize size)
{
    Cancel();
    const quint64 generation = generation_;
    if (!file) {
        QMetaObject::invokeMethod(
            this, [this, generation] { Finish(generation, {}); }, Qt::QueuedConnection);
        return;
    }
    // The decode thread reads it and may be the last to let it go.
    file->moveToThread(nullptr);
    decoding_ = std::move(file);
    pool_.start([this, generation, file = decoding_, size]() mutable {
        DecodedPicture decoded = DecodeOpenedPicture(*file, size);
        file.reset();
        QMetaObject::invokeMethod(
            this, [this, generation, decoded = std::move(decoded)] { Finish(generation, decoded); },
            Qt::QueuedConnection);
    });
}

void CoverDecoder::Cancel()
{
    ++generation_;
    if (decoding_) decoding_->Cancel();
    decoding_.reset();
    pool_.clear(); // a decode queued behind the running one never starts
}

void CoverDecoder::Finish(quint64 generation, const DecodedPicture& decoded)
{
    if (generation != generation_) return;
    decoding_.reset();
    emit Decoded(decoded.code, decoded.image);
}

} // namespace wendel
