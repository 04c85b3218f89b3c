#include "SetupWindow.h"

#include "Artwork.h"
#include "X11Windows.h"
#include "setup/SetupLayout.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <limits>
#include <utility>

namespace wendel {

namespace layout = setup_layout;

namespace {

void Place(QWidget* widget, const TwipRect& rect)
{
    widget->setGeometry(TwipsToPixels(rect.left), TwipsToPixels(rect.top),
                        TwipsToPixels(rect.width), TwipsToPixels(rect.height));
}

template <class Widget, class... Args>
Widget* MakeControl(QWidget* parent, const char* name, const TwipRect& rect, Args&&... args)
{
    auto* widget = new Widget(std::forward<Args>(args)..., parent);
    widget->setObjectName(QString::fromLatin1(name));
    Place(widget, rect);
    return widget;
}

QColor MenuColour()
{
    return QApplication::palette("QMenu").color(QPalette::Window);
}

QWidget* MakeFilledRect(QWidget* parent, const char* name, const TwipRect& rect, const QColor& fill)
{
    auto* box = MakeControl<QWidget>(parent, name, rect);
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window, fill);
    box->setPalette(palette);
    box->setAutoFillBackground(true);
    return box;
}

QScrollBar* MakeScroller(QWidget* parent, const char* name, const TwipRect& rect, int max)
{
    auto* bar = MakeControl<QScrollBar>(parent, name, rect, Qt::Vertical);
    bar->setRange(0, max);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setFocusPolicy(Qt::StrongFocus);
    return bar;
}

constexpr ArtworkId kLookPreviews[] = {ArtworkId::LookPreview1, ArtworkId::LookPreview2,
                                       ArtworkId::LookPreview3, ArtworkId::LookPreview4};

} // namespace

SetupWindow::SetupWindow(MessageBoxes& boxes, const Clock& clock, ProcessControl& process,
                         std::string settingsPath, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      setup_(*this, boxes, clock, process, std::move(settingsPath))
{
    setObjectName(QStringLiteral("WendelSetup"));
    setWindowTitle(QStringLiteral("WendelSaver Screensaver Setup"));
    setWindowIcon(QPixmap::fromImage(LoadArtwork(ArtworkId::WindowIcon)));
    setFixedSize(TwipsToPixels(layout::kClientWidth), TwipsToPixels(layout::kClientHeight));
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, MenuColour());
    setPalette(windowPalette);
    setAutoFillBackground(true);

    okButton_ = MakeControl<QPushButton>(this, "OKButton", layout::kOkButton, QStringLiteral("OK"));
    cancelButton_ =
        MakeControl<QPushButton>(this, "CancelButton", layout::kCancelButton, QStringLiteral("Cancel"));
    // Outside a QDialog a button ignores Enter unless it is an auto-default
    // one; then it answers Enter only while it has the focus.
    okButton_->setAutoDefault(true);
    cancelButton_->setAutoDefault(true);

    BuildLookFrame();
    BuildOverlapControls();
    BuildBackgroundFrame();
    BuildDefaultImageFrame();
    SetTabOrder();
    ConnectEvents();
    x11::KeepOffTaskBar(winId()); // makes the native window, before its first map
}

void SetupWindow::BuildLookFrame()
{
    auto* frame = MakeControl<QGroupBox>(this, "CustomLookFrame", layout::kCustomLookFrame,
                                         QStringLiteral("Customize Look"));
    MakeFilledRect(frame, "LookImageBGround", layout::kLookImageBGround, Qt::black);
    for (int i = 0; i < 4; ++i) {
        const QByteArray name = "LookImage" + QByteArray::number(i + 1);
        QLabel* image = MakeControl<QLabel>(frame, name.constData(),
                                            i == 0 ? layout::kLookImage1 : layout::kLookImage2to4);
        image->setPixmap(QPixmap::fromImage(LoadArtwork(kLookPreviews[i])));
        image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        image->hide();
        lookImages_[i] = image;
    }
    MakeFilledRect(frame, "Shape2", layout::kShape2, MenuColour());
    lookScroller_ = MakeScroller(frame, "LookScroller", layout::kLookScroller, kLookBottom);
    lookScroller_->setMinimum(kLookTop);
    lookScroller_->setValue(kLookTop);
}

void SetupWindow::BuildOverlapControls()
{
    auto* label = MakeControl<QLabel>(this, "Overlap_Label", layout::kOverlapLabel,
                                      QStringLiteral("Overlap"));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QPalette labelPalette = label->palette();
    labelPalette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(labelPalette);

    overlapInput_ = MakeControl<QLineEdit>(this, "Overlap_Input", layout::kOverlapInput);
    // Qt's vertical bar grows downwards; this one shows 12 at its top end, so
    // the widget's own value is the distance from the top.
    overlapScroller_ =
        MakeScroller(this, "OverlapScroller", layout::kOverlapScroller, kOverlapTop - kOverlapBottom);
    overlapScroller_->setValue(0);
}

void SetupWindow::BuildBackgroundFrame()
{
    auto* frame =
        MakeControl<QGroupBox>(this, "BGroundSet", layout::kBGroundSet, QStringLiteral("Background"));
    option1_ = MakeControl<QRadioButton>(frame, "Option1", layout::kOption1, QStringLiteral("On"));
    option2_ = MakeControl<QRadioButton>(frame, "Option2", layout::kOption2, QStringLiteral("Off"));
}

void SetupWindow::BuildDefaultImageFrame()
{
    auto* frame =
        MakeControl<QGroupBox>(this, "Frame1", layout::kFrame1, QStringLiteral("Default Image"));
    defaultImageText_ = MakeControl<QLineEdit>(frame, "DefaultImage_Text", layout::kDefaultImageText);
    // The path comes back to the file on OK; a long one must not be cut.
    defaultImageText_->setMaxLength(std::numeric_limits<int>::max());
}

void SetupWindow::SetTabOrder()
{
    const QWidget* order[] = {okButton_,        cancelButton_, lookScroller_,
                              overlapInput_,    overlapScroller_, option1_,
                              option2_,         defaultImageText_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    }
}

void SetupWindow::ConnectEvents()
{
    connect(lookScroller_, &QScrollBar::valueChanged, this, [this] { setup_.LookScrollerChanged(); });
    connect(overlapInput_, &QLineEdit::textEdited, this, [this] { setup_.OverlapInputChanged(); });
    connect(overlapScroller_, &QScrollBar::valueChanged, this,
            [this] { setup_.OverlapScrollerChanged(); });
    connect(okButton_, &QPushButton::clicked, this, [this] { setup_.OkClicked(); });
    connect(cancelButton_, &QPushButton::clicked, this, [this] { setup_.CancelClicked(); });
}

void SetupWindow::Load()
{
    setup_.Load();
}

void SetupWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    okButton_->setFocus(Qt::OtherFocusReason);
}

void SetupWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    setup_.CloseRequested();
}

int SetupWindow::LookScrollerValue() const
{
    return lookScroller_->value();
}

void SetupWindow::SetLookScrollerValue(int value)
{
    const QSignalBlocker quiet(lookScroller_);
    lookScroller_->setValue(value);
}

void SetupWindow::ShowOnlyLookImage(int image)
{
    for (int i = 0; i < 4; ++i) lookImages_[i]->setVisible(i + 1 == image);
}

std::string SetupWindow::OverlapText() const
{
    return overlapInput_->text().toStdString();
}

void SetupWindow::SetOverlapText(const std::string& text)
{
    overlapInput_->setText(QString::fromStdString(text));
}

int SetupWindow::OverlapScrollerValue() const
{
    return kOverlapTop - overlapScroller_->value();
}

void SetupWindow::SetOverlapScrollerValue(int value)
{
    const QSignalBlocker quiet(overlapScroller_);
    overlapScroller_->setValue(kOverlapTop - value);
}

bool SetupWindow::BackgroundOnSelected() const
{
    return option1_->isChecked();
}

void SetupWindow::SelectBackground(bool on)
{
    (on ? option1_ : option2_)->setChecked(true);
}

std::string SetupWindow::DefaultImageText() const
{
    const QString text = defaultImageText_->text();
    return text == defaultImageShown_ ? defaultImageBytes_ : text.toStdString();
}

void SetupWindow::SetDefaultImageText(const std::string& text)
{
    defaultImageBytes_ = text;
    defaultImageShown_ = QString::fromStdString(text);
    defaultImageText_->setText(defaultImageShown_);
}

} // namespace wendel
