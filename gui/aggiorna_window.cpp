#include "gui/aggiorna_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>

#include "app/dither.h"
#include "app/manual.h"
#include "app/window_events.h"
#include "gui/fonts.h"
#include "gui/pictures.h"
#include "platform/error.h"

namespace ledrana::gui {
namespace {

// VB colour values: &H00BBGGRR, or &H800000nn for the system colour nn.
QColor ColourOf(std::uint32_t vb, const QPalette& palette) {
    if (vb & 0x80000000u) {
        switch (vb & 0xFF) {
        case 0x05:
            return palette.color(QPalette::Base);
        case 0x08:
            return palette.color(QPalette::Text);
        case 0x0F:
            return palette.color(QPalette::Button);
        case 0x12:
            return palette.color(QPalette::ButtonText);
        default:
            return palette.color(QPalette::Window);
        }
    }
    return QColor(vb & 0xFF, (vb >> 8) & 0xFF, (vb >> 16) & 0xFF);
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

AggiornaWindow::AggiornaWindow(Aggiorna& window, std::function<void()> esegui, QWidget* parent)
    : QWidget(parent), w_(window), esegui_(std::move(esegui)) {
    setObjectName(Q(w_.name));
    setFixedSize(Pixels(w_.clientWidth), Pixels(w_.clientHeight));
    build();
    w_.onRefresh = [this](const Control* control) {
        if (control) {
            sync(*control);
            if (QWidget* widget = widgetFor(control->name)) widget->repaint();
        } else {
            syncAll();
            repaint();
        }
    };
    syncAll();
}

AggiornaWindow::~AggiornaWindow() {
    w_.onRefresh = nullptr;
    if (hourglass_) QApplication::restoreOverrideCursor();
}

QWidget* AggiornaWindow::widgetFor(const std::string& controlName) const {
    const auto it = widgets_.find(controlName);
    return it == widgets_.end() ? nullptr : it->second;
}

QWidget* AggiornaWindow::parentFor(const Control& control) {
    if (QWidget* frame = widgetFor(control.container)) return frame;
    return this;
}

void AggiornaWindow::build() {
    // Frames come before what they hold in the window object, so a child finds its frame here.
    for (Control* c : w_.controls()) {
        QWidget* parent = parentFor(*c);
        QWidget* widget = nullptr;
        switch (c->kind) {
        case ControlKind::Label: {
            auto* label = new QLabel(parent);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setTextFormat(Qt::PlainText);
            label->installEventFilter(this); // a click on a label is the label's, never the window's
            widget = label;
            break;
        }
        case ControlKind::TextBox:
            if (c->multiLine) {
                auto* edit = new QPlainTextEdit(parent);
                edit->setVerticalScrollBarPolicy(c->verticalScrollBar ? Qt::ScrollBarAlwaysOn
                                                                      : Qt::ScrollBarAsNeeded);
                QObject::connect(edit, &QPlainTextEdit::textChanged, this,
                                 [c, edit] { c->text = edit->toPlainText().toStdString(); });
                widget = edit;
            } else {
                auto* edit = new QLineEdit(parent);
                edit->setFrame(true);
                QObject::connect(edit, &QLineEdit::textEdited, this,
                                 [c](const QString& text) { c->text = text.toStdString(); });
                widget = edit;
            }
            break;
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(parent);
            QObject::connect(box, &QCheckBox::clicked, this, [c](bool on) { c->value = on ? 1 : 0; });
            widget = box;
            break;
        }
        case ControlKind::Frame: {
            auto* frame = new QGroupBox(parent);
            frame->setAutoFillBackground(true);
            widget = frame;
            break;
        }
        case ControlKind::CommandButton: {
            auto* button = new QPushButton(parent);
            button->setAutoDefault(false);
            widget = button;
            break;
        }
        case ControlKind::FileListBox:
            widget = new QListWidget(parent);
            break;
        case ControlKind::PictureBox: {
            auto* picture = new QLabel(parent);
            picture->setAlignment(Qt::AlignCenter);
            picture->installEventFilter(this);
            widget = picture;
            break;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            widget = bar;
            break;
        }
        }
        widget->setObjectName(Q(c->name));
        widgets_[c->name] = widget;
    }

    auto* banner = static_cast<QLabel*>(widgetFor(w_.Image1.name));
    banner->setPixmap(BannerPicture(QSize(Pixels(w_.Image1.width), Pixels(w_.Image1.height))));
    auto* icon = static_cast<QLabel*>(widgetFor(w_.Image2.name));
    icon->setPixmap(ManualIcon());

    clicks_[widgetFor(w_.Sfoglia.name)] = [this] { runEvent([this] { Sfoglia_Click(w_); }); };
    clicks_[icon] = [this] { runEvent([this] { Image2_Click(w_); }); };
    QObject::connect(static_cast<QPushButton*>(widgetFor(w_.Command1.name)), &QPushButton::clicked, this,
                     [this] { runEvent([this] { Command1_Click(w_); }); });
    QObject::connect(static_cast<QPushButton*>(widgetFor(w_.Command2.name)), &QPushButton::clicked, this,
                     [this] { runEvent(esegui_); });
}

void AggiornaWindow::sync(const Control& c) {
    QWidget* widget = widgetFor(c.name);
    if (!widget) return;
    widget->setGeometry(Pixels(c.left), Pixels(c.top), Pixels(c.width), Pixels(c.height));
    widget->setEnabled(c.enabled);
    widget->setFont(FontFor(c.font));
    widget->setToolTip(Q(c.toolTipText));
    if (c.mousePointer == vbCustom) widget->setCursor(Qt::WhatsThisCursor);

    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, ColourOf(c.foreColor, palette));
    palette.setColor(QPalette::ButtonText, ColourOf(c.foreColor, palette));
    if (!c.backTransparent && c.kind != ControlKind::TextBox && c.kind != ControlKind::FileListBox) {
        palette.setColor(QPalette::Window, ColourOf(c.backColor, palette));
    }
    widget->setPalette(palette);

    switch (c.kind) {
    case ControlKind::Label: {
        auto* label = static_cast<QLabel*>(widget);
        label->setText(Q(c.caption));
        label->setFont(FitFont(FontFor(c.font), label->size(), label->text()));
        const Qt::Alignment horizontal = c.alignment == 1   ? Qt::AlignRight
                                         : c.alignment == 2 ? Qt::AlignHCenter
                                                            : Qt::AlignLeft;
        label->setAlignment(horizontal | Qt::AlignTop);
        break;
    }
    case ControlKind::TextBox:
        if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
            if (edit->toPlainText().toStdString() != c.text) {
                // The log's CR LF pairs show as one line break each.
                QString text = Q(c.text);
                text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
                const QSignalBlocker block(edit);
                edit->setPlainText(text);
                edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
            }
        } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            if (line->text() != Q(c.text)) line->setText(Q(c.text));
        }
        break;
    case ControlKind::CheckBox:
        static_cast<QCheckBox*>(widget)->setText(Q(c.caption));
        static_cast<QCheckBox*>(widget)->setChecked(c.value == 1);
        break;
    case ControlKind::Frame:
        static_cast<QGroupBox*>(widget)->setTitle(Q(c.caption));
        break;
    case ControlKind::CommandButton:
        static_cast<QPushButton*>(widget)->setText(Q(c.caption));
        break;
    case ControlKind::FileListBox: {
        const auto& list = static_cast<const FileListBox&>(c);
        auto* view = static_cast<QListWidget*>(widget);
        view->clear();
        for (const std::string& entry : list.entries)
            view->addItem(Q(entry));
        view->setCurrentRow(list.listIndex);
        break;
    }
    case ControlKind::PictureBox:
        break;
    case ControlKind::ProgressBar: {
        const auto& pb = static_cast<const ProgressBar&>(c);
        auto* bar = static_cast<QProgressBar*>(widget);
        bar->setRange(pb.min, pb.max);
        bar->setValue(pb.value);
        break;
    }
    }
    widget->setVisible(c.visible);
}

void AggiornaWindow::syncAll() {
    setWindowTitle(Q(w_.caption));
    for (const Control* c : std::as_const(w_).controls())
        sync(*c);
    const bool wantHourglass = w_.screenMousePointer == vbHourglass;
    if (wantHourglass && !hourglass_) QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!wantHourglass && hourglass_) QApplication::restoreOverrideCursor();
    hourglass_ = wantHourglass;
}

void AggiornaWindow::runEvent(const std::function<void()>& event) {
    if (busy_ || w_.ended()) return;
    busy_ = true;
    w_.RunEvent([&] {
        try {
            event();
        } catch (const Error& e) {
            // No procedure handled it: say what it was, then end as the original runtime did.
            w_.dialogs.MsgBox(std::to_string(e.number()) + " " + e.description(), vbOKOnly, "");
            w_.End();
        }
    });
    busy_ = false;
    syncAll();
    if (w_.ended()) close();
}

void AggiornaWindow::closeEvent(QCloseEvent* event) {
    if (busy_) {
        event->ignore();
        return;
    }
    w_.RunEvent([this] { w_.End(); });
    event->accept();
}

void AggiornaWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int i = 0; i < kDitherBands; ++i) {
        const Band band = DitherBand(i, height());
        const Rgb rgb = DitherColour(i);
        painter.fillRect(0, band.top, width(), band.bottom - band.top, QColor(rgb.red, rgb.green, rgb.blue));
    }
}

void AggiornaWindow::mousePressEvent(QMouseEvent* event) {
    int button = 0;
    switch (event->button()) {
    case Qt::LeftButton:
        button = 1;
        break;
    case Qt::RightButton:
        button = 2;
        break;
    case Qt::MiddleButton:
        button = 4;
        break;
    default:
        return;
    }
    int shift = 0;
    if (event->modifiers() & Qt::ShiftModifier) shift |= 1;
    if (event->modifiers() & Qt::ControlModifier) shift |= 2;
    if (event->modifiers() & Qt::AltModifier) shift |= 4;
    const float x = static_cast<float>(event->position().x() * kTwipsPerPixel);
    const float y = static_cast<float>(event->position().y() * kTwipsPerPixel);
    runEvent([&] { Form_MouseDown(w_, button, shift, x, y); });
}

bool AggiornaWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) return true;
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const auto* widget = static_cast<QWidget*>(watched);
        const auto it = clicks_.find(watched);
        if (it != clicks_.end() && mouse->button() == Qt::LeftButton && widget->isEnabled() &&
            widget->rect().contains(mouse->position().toPoint())) {
            it->second();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace ledrana::gui
