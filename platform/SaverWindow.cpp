#include "SaverWindow.h"

#include "Artwork.h"
#include "QtPictureLoader.h"
#include "display/BoardLayout.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace wendel {

namespace layout = board_layout;

namespace {

// A label or picture box of the board. None has a handler of its own, yet
// each takes the presses made over it: Qt hands an ignored press on to the
// parent, which would end the saver.
class BoardControl final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
};

QRect PixelRect(const TwipRect& rect)
{
    return {TwipsToPixels(rect.left), TwipsToPixels(rect.top), TwipsToPixels(rect.width),
            TwipsToPixels(rect.height)};
}

// A look in the list of installed families: matching a font instead would
// load whichever font stands in for a missing one.
bool ArialBlackInstalled()
{
    return QFontDatabase::families().contains(QStringLiteral("Arial Black"), Qt::CaseInsensitive);
}

// Arial Black is asked for by SettleHeavyFont. No free font is called so;
// the Arial family's heaviest weight comes closest.
QFont LabelFont(const layout::LabelDesign& design, bool blackInstalled)
{
    const bool black = design.arialBlack && blackInstalled;
    QFont font(black ? QStringLiteral("Arial Black") : QStringLiteral("Arial"));
    if (design.arialBlack && !black) font.setWeight(QFont::Black);
    font.setPixelSize(design.fontPixels);
    font.setItalic(design.italic);
    return font;
}

Qt::Alignment QtAlignment(layout::Align align)
{
    switch (align) {
    case layout::Align::Right: return Qt::AlignRight | Qt::AlignTop;
    case layout::Align::Centre: return Qt::AlignHCenter | Qt::AlignTop;
    case layout::Align::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignTop;
}

double AnchorX(const layout::LabelDesign& design)
{
    const TwipRect& r = design.rect;
    switch (design.align) {
    case layout::Align::Right: return (r.left + r.width) / double(kTwipsPerPixel);
    case layout::Align::Centre: return (r.left + r.width / 2.0) / kTwipsPerPixel;
    case layout::Align::Left: break;
    }
    return r.left / double(kTwipsPerPixel);
}

ArtworkId ArtworkFor(Picture picture)
{
    switch (picture) {
    case Picture::DefaultHeader: return ArtworkId::DefaultHeader;
    case Picture::DefaultFooter: return ArtworkId::DefaultFooter;
    case Picture::Header1: return ArtworkId::Header1;
    case Picture::Header2: return ArtworkId::Header2;
    case Picture::Header3: return ArtworkId::Header3;
    case Picture::Footer1: return ArtworkId::Footer1;
    case Picture::Footer2: return ArtworkId::Footer2;
    case Picture::Footer3: return ArtworkId::Footer3;
    case Picture::Play: return ArtworkId::Play;
    case Picture::Pause: return ArtworkId::Pause;
    case Picture::Stopsign: return ArtworkId::Stopsign;
    case Picture::AlbumCover: break;
    }
    return ArtworkId::WindowIcon; // never asked for: the cover has no artwork
}

} // namespace

SaverWindow::SaverWindow(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("WendelSaverMain"));
    setWindowTitle(QStringLiteral("WendelSaver"));
    setFixedSize(TwipsToPixels(layout::kClientWidth), TwipsToPixels(layout::kClientHeight));
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);

    BuildPictures();
    BuildLabels();
    auto* shape = new QWidget(this);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setGeometry(PixelRect(layout::kShape1));
    shape->setAttribute(Qt::WA_TransparentForMouseEvents); // its presses are the window's
    shape->setAutoFillBackground(true);
    StackControls();
    // One decode at a time: a dropped one gives way within a read, and two
    // huge pictures never take memory and cores together.
    coverThreads_.setMaxThreadCount(1);
    connect(&coverDecoder_, &CoverDecoder::Decoded, this, &SaverWindow::ShowDecodedCover);
}

SaverWindow::~SaverWindow() = default;

void SaverWindow::BuildLabels()
{
    for (const layout::LabelDesign& design : layout::kLabels) {
        auto* widget = new BoardControl(this);
        widget->setObjectName(QString::fromLatin1(design.name));
        widget->setTextFormat(Qt::PlainText); // texts from the jukebox are never markup
        widget->setFont(LabelFont(design, false));
        widget->setAlignment(QtAlignment(design.align));
        widget->setWordWrap(!design.autoSize);
        QPalette colours = widget->palette();
        colours.setColor(QPalette::WindowText, QColor(design.colour.red, design.colour.green, design.colour.blue));
        widget->setPalette(colours);
        widget->setGeometry(PixelRect(design.rect));
        widget->setVisible(design.visible);

        LabelSlot& slot = labels_[design.label];
        slot.widget = widget;
        slot.align = design.align;
        slot.autoSize = design.autoSize;
        slot.anchorX = AnchorX(design);
        widget->setText(design.caption ? QString::fromUtf8(design.caption) : SaverBylineText());
        // The stored sizes are those of the design captions in the original
        // fonts; ours measure differently (Track's caption is wider than its
        // stored box), so a caption is fitted as it would be when set, but
        // only once the label is first shown: measuring loads its font, and
        // labels hidden before the first paint ("Up Next:", "No Image
        // Available") need none until then. An empty label keeps its stored
        // size.
        slot.fitPending = design.autoSize && !widget->text().isEmpty();
    }
}

void SaverWindow::BuildPictures()
{
    for (const layout::PictureDesign& design : layout::kPictures) {
        auto* widget = new BoardControl(this);
        widget->setObjectName(QString::fromLatin1(design.name));
        widget->setGeometry(PixelRect(design.rect));
        widget->setScaledContents(design.stretched);
        widget->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (design.picture == Picture::AlbumCover) {
            widget->setScaledContents(true); // the decode already has the box's size
            widget->setVisible(true);
        } else {
            // Decoded when first shown: most artwork never is.
            widget->setVisible(false);
        }
        pictures_[design.picture] = widget;
    }
}

void SaverWindow::StackControls()
{
    // raise() puts a child on top, so go from the back to the front.
    for (auto name = layout::kFrontToBack.rbegin(); name != layout::kFrontToBack.rend(); ++name) {
        if (auto* child = findChild<QWidget*>(QString::fromLatin1(*name), Qt::FindDirectChildrenOnly)) {
            child->raise();
        }
    }
}

QLabel* SaverWindow::LabelWidget(Label label) const
{
    return labels_.at(label).widget;
}

QLabel* SaverWindow::PictureWidget(Picture picture) const
{
    return pictures_.at(picture);
}

std::string SaverWindow::Caption(Label label) const
{
    return LabelWidget(label)->text().toStdString();
}

void SaverWindow::SetCaption(Label label, const std::string& text)
{
    LabelSlot& slot = labels_.at(label);
    slot.dirty |= slot.widget->geometry();
    slot.widget->setText(QString::fromStdString(text));
    if (slot.autoSize) FitToCaption(label);
}

void SaverWindow::SettleHeavyFont()
{
    // Asked when a label is first measured or shown, not when it is made:
    // the list of installed fonts is read meanwhile (see OpenSaver).
    if (heavyFontSettled_) return;
    heavyFontSettled_ = true;
    if (!ArialBlackInstalled()) return;
    for (const layout::LabelDesign& design : layout::kLabels) {
        if (design.arialBlack) labels_.at(design.label).widget->setFont(LabelFont(design, true));
    }
}

void SaverWindow::FitToCaption(Label label)
{
    SettleHeavyFont();
    LabelSlot& slot = labels_.at(label);
    slot.fitPending = false;
    const QFontMetrics metrics(slot.widget->font());
    const int width = metrics.horizontalAdvance(slot.widget->text());
    const int height = metrics.height();
    double left = slot.anchorX;
    switch (slot.align) {
    case layout::Align::Right: left = slot.anchorX - width; break;
    case layout::Align::Centre: left = slot.anchorX - width / 2.0; break;
    case layout::Align::Left: break;
    }
    slot.widget->setGeometry(static_cast<int>(std::lround(left)), slot.widget->y(), width, height);
}

bool SaverWindow::IsVisible(Label label) const
{
    return !LabelWidget(label)->isHidden();
}

void SaverWindow::SetVisible(Label label, bool visible)
{
    if (visible && labels_.at(label).fitPending) FitToCaption(label);
    LabelWidget(label)->setVisible(visible);
}

void SaverWindow::RepaintNow(Label label)
{
    // Repaint the window over the label's old and new area: a label that
    // shrank or moved leaves pixels behind that only the window can clear.
    LabelSlot& slot = labels_.at(label);
    const QRect area = slot.dirty | slot.widget->geometry();
    slot.dirty = QRect();
    if (isVisible()) repaint(area);
}

bool SaverWindow::IsVisible(Picture picture) const
{
    return !PictureWidget(picture)->isHidden();
}

void SaverWindow::SetVisible(Picture picture, bool visible)
{
    QLabel* widget = PictureWidget(picture);
    if (visible && picture != Picture::AlbumCover && widget->pixmap().isNull()) {
        widget->setPixmap(QPixmap::fromImage(LoadArtwork(ArtworkFor(picture))));
    }
    widget->setVisible(visible);
}

void SaverWindow::showEvent(QShowEvent* event)
{
    SettleHeavyFont();
    for (auto& [label, slot] : labels_) {
        if (slot.fitPending && !slot.widget->isHidden()) FitToCaption(label);
    }
    QWidget::showEvent(event);
}

void SaverWindow::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    if (firstPaintDone_) return;
    firstPaintDone_ = true;
    // On the loop's next pass, once the first picture is on screen: what the
    // board does not need to show it waits until then.
    QTimer::singleShot(0, this, [this] {
        setWindowIcon(QPixmap::fromImage(LoadArtwork(ArtworkId::WindowIcon)));
        if (onFirstPainted) onFirstPainted();
    });
}

int SaverWindow::LoadCover(const std::string& path, int widthTwips, int heightTwips)
{
    coverDecoder_.Cancel();
    const QSize boxPixels(TwipsToPixels(widthTwips), TwipsToPixels(heightTwips));
    if (path.empty() || boxPixels.isEmpty()) {
        coverDecoder_.Start(nullptr, {});
        return 0;
    }
    OpenedPicture opened = OpenPicture(path);
    if (opened.code != 0) return opened.code;
    coverDecoder_.Start(std::move(opened.file), boxPixels * devicePixelRatioF());
    return 0;
}

void SaverWindow::CancelCoverLoad()
{
    coverDecoder_.Cancel();
}

void SaverWindow::ShowDecodedCover(int code, const QImage& picture)
{
    if (code == 0) {
        QPixmap pixmap = QPixmap::fromImage(picture); // null for the empty picture: the box empties
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        PictureWidget(Picture::AlbumCover)->setPixmap(pixmap);
    }
    if (onCoverDecoded) onCoverDecoded(code);
}

void SaverWindow::PlaceCover(const CoverPlacement& placement)
{
    PictureWidget(Picture::AlbumCover)
        ->setGeometry(TwipsToPixels(placement.left), TwipsToPixels(placement.top),
                      TwipsToPixels(placement.width), TwipsToPixels(placement.height));
}

void SaverWindow::ShowBackdrop()
{
    if (onShowBackdrop) onShowBackdrop();
}

int SaverWindow::WidthTwips() const
{
    return width() * kTwipsPerPixel;
}

int SaverWindow::HeightTwips() const
{
    return height() * kTwipsPerPixel;
}

void SaverWindow::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    if (onMouseDown) onMouseDown();
}

void SaverWindow::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

void SaverWindow::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (onKeyDown) onKeyDown();
}

} // namespace wendel
