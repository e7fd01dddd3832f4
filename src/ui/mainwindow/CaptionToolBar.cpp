#include "ui/mainwindow/CaptionToolBar.h"

#include <QAction>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "ui/mainwindow/CommandIds.h"

namespace zm {
namespace {

// The Quit image: a door with an arrow leaving it, 16 x 15 as the toolbar's images are.
QIcon QuitIcon() {
    QPixmap pixmap(16, 15);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 60, 30), 1));
    p.setBrush(QColor(200, 150, 90));
    p.drawRect(QRectF(1.5, 1.5, 7, 12));
    p.setPen(QPen(QColor(200, 0, 0), 2));
    p.drawLine(QPointF(7, 7.5), QPointF(14, 7.5));
    p.drawLine(QPointF(11, 4.5), QPointF(14, 7.5));
    p.drawLine(QPointF(11, 10.5), QPointF(14, 7.5));
    return QIcon(pixmap);
}

QAction* HiddenButton(QToolBar* bar, int id, const char* name) {
    QAction* action = bar->addAction(QString());
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("commandId", id);
    action->setVisible(false);
    return action;
}

}  // namespace

QRect CaptionButtonRect(const QRect& slot, int captionWidth) {
    const int width =
        std::max(captionWidth + CCaptionToolBar::kPadding, CCaptionToolBar::kMinWidth);
    return {slot.left() - CCaptionToolBar::kShift, slot.top(), width, slot.height()};
}

CCaptionToolBar::CCaptionToolBar(QWidget* parent) : QToolBar(parent) {
    setObjectName("mainToolBar");
    setWindowTitle("Toolbar");
    setMovable(false);
    setFloatable(false);
    setIconSize(QSize(16, 15));
    normal_ = QFont("Arial");
    normal_.setPixelSize(14);
    normal_.setWeight(QFont::Normal);
    bold_ = normal_;
    bold_.setWeight(QFont::Black);

    HiddenButton(this, cmd::kExit, "toolButtonExit");
    quit_ = addAction(QuitIcon(), QString());
    quit_->setObjectName("actionQuit");
    quit_->setProperty("commandId", cmd::kQuit);
    quit_->setToolTip("Quit (Cancel)");
    quit_->setStatusTip("Quit the application without saving configuration");
    quit_->setText("Quit (Cancel)");
    connect(quit_, &QAction::triggered, this, [this] { emit Command(cmd::kQuit); });

    // The buttons are shifted left over their slots: a gap as wide as the shift keeps the
    // first one clear of the Quit button.
    auto* gap = new QWidget(this);
    gap->setObjectName("captionGap");
    gap->setFixedWidth(kShift + 4);
    addWidget(gap);
    static const char* const kNames[kButtonCount] = {"buttonAddNewDevice", "buttonDeleteTheDevice",
                                                     "buttonDeviceSettings", "buttonReserved3",
                                                     "buttonReserved4"};
    for (int i = 0; i < kButtonCount; ++i) {
        auto* slot = new QWidget(this);
        slot->setObjectName(QStringLiteral("captionSlot%1").arg(i));
        slot->setFixedHeight(24);
        slots_.append(slot);
        QAction* slotAction = addWidget(slot);
        slotAction->setProperty("commandId", cmd::kAddNewDevice + i);
        slotActions_.append(slotAction);

        auto* button = new QPushButton(this);
        button->setObjectName(QString::fromLatin1(kNames[i]));
        button->setProperty("commandId", cmd::kAddNewDevice + i);
        button->setFont(normal_);
        button->setFocusPolicy(Qt::NoFocus);
        const int id = cmd::kAddNewDevice + i;
        connect(button, &QPushButton::clicked, this, [this, id] { emit Command(id); });
        buttons_.append(button);
    }
    HiddenButton(this, cmd::kAbout, "toolButtonAbout");
    SetCaptions({});
}

void CCaptionToolBar::SetCaptions(const QStringList& captions) {
    for (int i = 0; i < kButtonCount; ++i) {
        const QString caption = captions.value(i);
        QPushButton* button = buttons_[i];
        button->setText(caption);
        button->setAccessibleName(caption);
        const bool shown = !caption.isEmpty();
        // The width rule measures with the normal font, whichever button is marked.
        const int width = QFontMetrics(normal_).horizontalAdvance(caption);
        slots_[i]->setFixedWidth(std::max(width + kPadding, kMinWidth));
        slotActions_[i]->setVisible(shown);
        button->setVisible(shown);
    }
    PlaceButtons();
    // The toolbar lays its slots out on its next turn; the buttons follow then.
    QTimer::singleShot(0, this, [this] { PlaceButtons(); });
}

void CCaptionToolBar::MarkButton(int index) {
    if (marked_ >= 0 && marked_ < buttons_.size()) {
        buttons_[marked_]->setFont(normal_);
    }
    marked_ = index;
    if (marked_ >= 0 && marked_ < buttons_.size()) {
        buttons_[marked_]->setFont(bold_);
    }
    PlaceButtons();
}

bool CCaptionToolBar::event(QEvent* event) {
    const bool handled = QToolBar::event(event);
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show) {
        PlaceButtons();
    }
    return handled;
}

void CCaptionToolBar::resizeEvent(QResizeEvent* event) {
    QToolBar::resizeEvent(event);
    PlaceButtons();
}

void CCaptionToolBar::PlaceButtons() {
    for (int i = 0; i < buttons_.size(); ++i) {
        QPushButton* button = buttons_[i];
        if (!button->isVisibleTo(this)) {
            continue;
        }
        const int width = QFontMetrics(normal_).horizontalAdvance(button->text());
        button->setGeometry(CaptionButtonRect(slots_[i]->geometry(), width));
        button->raise();
    }
}

}  // namespace zm
