#include "ui/qt/TableWidgets.h"

#include "ui/qt/Fonts.h"
#include "ui/qt/Pictures.h"

#include <QDialog>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QWindow>

namespace zel::ui {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

QWidget* MakeControl(const table::Control& control, const table::Window& table, QWidget* parent) {
    switch (control.kind) {
    case table::Kind::TextField:
        return new QLineEdit(Text(control.text), parent);
    case table::Kind::Button:
    case table::Kind::PictureButton: {
        auto* button = new QPushButton(parent);
        if (control.picture == table::Picture::ConvertFace) {
            button->setIcon(ConvertFace());
            button->setIconSize(QSize(94, 24));
            button->setAccessibleName(Text(control.text));
        } else {
            button->setText(Text(control.text));
        }
        // A button with the focus answers Enter as well as Space; otherwise Enter presses only the
        // table's default button, and in a window without one it presses nothing.
        button->setAutoDefault(true);
        button->setDefault(control.name == table.defaultButton);
        return button;
    }
    case table::Kind::Label: {
        auto* label = new QLabel(Text(control.text), parent);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        if (control.colour) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::WindowText,
                             QColor(control.colour->red, control.colour->green, control.colour->blue));
            label->setPalette(palette);
        }
        return label;
    }
    case table::Kind::Frame:
        return new QGroupBox(Text(control.text), parent);
    case table::Kind::PictureBox: {
        auto* picture = new QLabel(parent);
        picture->setAlignment(Qt::AlignCenter);
        picture->setPixmap(AppIconPixmap(32, parent->devicePixelRatioF()));
        picture->setFocusPolicy(Qt::TabFocus);
        return picture;
    }
    case table::Kind::Line: {
        auto* line = new QFrame(parent);
        line->setFrameShape(QFrame::NoFrame);
        line->setAutoFillBackground(true);
        QPalette palette = line->palette();
        const table::Colour colour = control.colour.value_or(table::Colour{});
        palette.setColor(QPalette::Window, QColor(colour.red, colour.green, colour.blue));
        line->setPalette(palette);
        return line;
    }
    case table::Kind::List: {
        auto* list = new QTreeWidget(parent);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->setAllColumnsShowFocus(true);
        list->setColumnCount(static_cast<int>(control.columns.size()));
        QStringList headings;
        for (const table::Column& column : control.columns)
            headings << Text(column.heading);
        list->setHeaderLabels(headings);
        // The last column takes what the others leave, so that no scroll bar appears for a few
        // pixels (the vertical scroll bar takes some of the width).
        for (std::size_t i = 0; i + 1 < control.columns.size(); ++i)
            list->setColumnWidth(static_cast<int>(i), control.columns[i].width);
        list->header()->setStretchLastSection(true);
        return list;
    }
    case table::Kind::ProgressBar: {
        auto* bar = new QProgressBar(parent);
        bar->setTextVisible(false);
        bar->setFormat(QString());
        bar->setValue(0);
        return bar;
    }
    }
    return nullptr;
}

// The window's frame as the window system knows it now; QWidget::frameGeometry() may still hold the
// frame of before the window manager framed the window.
QRect LiveFrameOf(const QWidget& window) {
    return window.windowHandle() ? window.windowHandle()->frameGeometry() : window.frameGeometry();
}

QMargins LiveMarginsOf(const QWidget& window) {
    return window.windowHandle() ? window.windowHandle()->frameMargins() : QMargins();
}

// Centres a top-level window, frame included, on its screen or over its owner when it is shown,
// and once more when the window manager has framed it: X11 window managers frame a window only
// after it is shown, and take a position requested before as the client area's.
class Centring : public QObject {
public:
    Centring(QWidget& window, table::Placement placement) : QObject(&window), placement_(placement) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto& window = static_cast<QWidget&>(*watched);
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            framed_ = !LiveMarginsOf(window).isNull();
            Centre(window);
        } else if (event->type() == QEvent::Paint && !framed_ && !LiveMarginsOf(window).isNull()) {
            framed_ = true;
            Centre(window);
        }
        return false;
    }

private:
    void Centre(QWidget& window) const {
        const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
        QRect area;
        if (placement_ == table::Placement::CentreOfOwner && owner) {
            area = LiveFrameOf(*owner);
        } else {
            const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
            if (!screen) return;
            area = screen->availableGeometry();
        }
        // Until the window is framed, its frame is taken to be as wide as its owner's, which the same
        // window manager drew.
        QMargins margins = LiveMarginsOf(window);
        if (margins.isNull() && owner) margins = LiveMarginsOf(*owner);
        QRect frame(QPoint(), window.size().grownBy(margins));
        frame.moveCenter(area.center());
        window.setGeometry(QRect(frame.topLeft() + QPoint(margins.left(), margins.top()), window.size()));
    }

    table::Placement placement_;
    bool framed_ = false;
};

// Keeps each control of a resizable window at the distances its anchors name from the edges of
// its parent (the window or a frame), as the table places it at the window's first size.
class Anchoring : public QObject {
public:
    Anchoring(QWidget& window, const table::Window& table)
        : QObject(&window), window_(window), table_(table) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Resize) Follow();
        return false;
    }

private:
    void Follow() const {
        // Frames come before what lies in them, so a parent has its new size before its children.
        for (const table::Control& control : table_.controls) {
            const table::Rect& place = control.position;
            const table::Control* frame = table_.find(control.parent);
            const QWidget* parent = frame ? ControlOf<QWidget>(window_, frame->name) : &window_;
            const int grownBy[] = {parent->width() - (frame ? frame->position.width : table_.clientWidth),
                                   parent->height() - (frame ? frame->position.height : table_.clientHeight)};
            const table::Anchors& a = control.anchors;
            // Along one axis: both edges anchored, the control grows; the far edge alone, it moves.
            auto follow = [](int start, int length, bool near, bool far, int grown) {
                return std::pair(start + (far && !near ? grown : 0), length + (far && near ? grown : 0));
            };
            const auto [left, width] = follow(place.left, place.width, a.left, a.right, grownBy[0]);
            const auto [top, height] = follow(place.top, place.height, a.top, a.bottom, grownBy[1]);
            ControlOf<QWidget>(window_, control.name)->setGeometry(left, top, width, height);
        }
    }

    QWidget& window_;
    const table::Window& table_;
};

// Presses the cancel button when Esc reaches the window: no control of it has taken the key.
class CancelKey : public QObject {
public:
    CancelKey(QWidget& window, QPushButton& button) : QObject(&window), button_(button) {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto& key = static_cast<const QKeyEvent&>(*event);
        if (key.key() != Qt::Key_Escape || key.modifiers() != Qt::NoModifier) return false;
        button_.click();
        return true;
    }

private:
    QPushButton& button_;
};

} // namespace

QFont FontOf(const table::Font& font) {
    const QString face = Text(font.face);
    if (face == kGothicFamily) return GothicFont(font.points, font.bold);
    return QFont(face, font.points, font.bold ? QFont::Bold : QFont::Normal);
}

void BuildFromTable(QWidget& window, const table::Window& table) {
    const bool sizable = table.border == table::Border::Sizable;
    const Qt::WindowFlags kind = table.border == table::Border::FixedDialog ? Qt::Dialog : Qt::Window;
    window.setWindowFlags(kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | (sizable ? Qt::WindowMinMaxButtonsHint : Qt::Widget));
    window.setObjectName(Text(table.name));
    window.setWindowTitle(Text(table.title));
    if (sizable) {
        window.setMinimumSize(table.clientWidth, table.clientHeight);
        window.resize(table.clientWidth, table.clientHeight);
    } else {
        window.setFixedSize(table.clientWidth, table.clientHeight);
    }
    window.setFont(FontOf(table.font));
    window.setWindowIcon(AppIcon());
    new Centring(window, table.placement);

    for (const table::Control& control : table.controls) {
        QWidget* parent = control.parent.empty() ? &window : ControlOf<QWidget>(window, control.parent);
        QWidget* widget = MakeControl(control, table, parent);
        widget->setObjectName(Text(control.name));
        widget->setGeometry(control.position.left, control.position.top, control.position.width,
                            control.position.height);
        if (control.font) widget->setFont(FontOf(*control.font));
        if (control.focusOrder == 0) widget->setFocusPolicy(Qt::NoFocus);
        // Later controls lie over earlier ones.
        widget->raise();
    }

    if (sizable) new Anchoring(window, table);
    // A dialog presses its cancel button itself; a plain window is told here that Esc does.
    if (!table.cancelButton.empty() && !qobject_cast<QDialog*>(&window))
        new CancelKey(window, *ControlOf<QPushButton>(window, table.cancelButton));

    const std::vector<const table::Control*> chain = table.focusChain();
    for (std::size_t i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(ControlOf<QWidget>(window, chain[i - 1]->name),
                             ControlOf<QWidget>(window, chain[i]->name));
    if (!chain.empty()) ControlOf<QWidget>(window, chain.front()->name)->setFocus();
}

} // namespace zel::ui
