#include "controls/SkinControls.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyle>
#include <algorithm>

#include "controls/QtSupport.h"

namespace controls {

unsigned VirtualKeyFromQt(int key) {
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24) {
        return kVkF1 + unsigned(key - Qt::Key_F1);
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) {
        return unsigned(key);  // the same codes
    }
    switch (key) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return kVkTab;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kVkReturn;
        case Qt::Key_Left:
            return kVkLeft;
        case Qt::Key_Up:
            return kVkUp;
        case Qt::Key_Right:
            return kVkRight;
        case Qt::Key_Down:
            return kVkDown;
        case Qt::Key_Backspace:
            return kVkBack;
        case Qt::Key_Escape:
            return kVkEscape;
        case Qt::Key_Space:
            return kVkSpace;
        case Qt::Key_PageUp:
            return 0x21;
        case Qt::Key_PageDown:
            return 0x22;
        case Qt::Key_End:
            return 0x23;
        case Qt::Key_Home:
            return 0x24;
        case Qt::Key_Insert:
            return 0x2D;
        case Qt::Key_Delete:
            return 0x2E;
        default:
            return 0;
    }
}

NavigationHandler* FindNavigationHandler(QWidget* control, NavigationHandler* explicitHandler) {
    if (explicitHandler) {
        return explicitHandler;
    }
    for (QWidget* w = control ? control->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (auto* handler = dynamic_cast<NavigationHandler*>(w)) {
            return handler;
        }
    }
    return nullptr;
}

namespace {

// Tab reaches the forwarding controls as a key press instead of moving the focus.
bool IsTabPress(QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

void Forward(QWidget* control, NavigationHandler* explicitHandler, NavKind kind, QKeyEvent* event) {
    const unsigned vk = VirtualKeyFromQt(event->key());
    event->accept();
    if (vk == 0 || !ForwardsKey(kind, vk)) {
        return;
    }
    if (NavigationHandler* handler = FindNavigationHandler(control, explicitHandler)) {
        handler->OnNavigationKey(control, NavTypeName(kind), vk);
    }
}

}  // namespace

// ---- SkinEdit ----

namespace {

// Guards every insertion path the key filter does not see (paste, drop, insert()): the line
// edit undoes a change that leaves its text invalid. Text set by the program is not checked.
class InputRules : public QValidator {
  public:
    InputRules(QObject* parent, const bool* digitsOnly, const int* limit, const int* lengthBefore)
        : QValidator(parent), digitsOnly_(digitsOnly), limit_(limit), lengthBefore_(lengthBefore) {}
    State validate(QString& input, int&) const override {
        if (*digitsOnly_) {
            for (QChar c : input) {
                if (c < QChar(u'0') || c > QChar(u'9'))
                    return Invalid;
            }
        }
        // The limit holds the operator's input only (lengthBefore_ is -1 outside it), and a
        // stored text already past the limit may shrink but not grow.
        const qsizetype length = input.size();
        if (*limit_ > 0 && *lengthBefore_ >= 0 && length > *limit_ && length > *lengthBefore_)
            return Invalid;
        return Acceptable;
    }

  private:
    const bool* digitsOnly_;
    const int* limit_;
    const int* lengthBefore_;
};

// Events through which the operator changes an edit's text. Undo and redo only bring back a
// text the edit held before, so they are not held to the limit.
bool IsOperatorInput(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            return !key->matches(QKeySequence::Undo) && !key->matches(QKeySequence::Redo);
        }
        case QEvent::InputMethod:
        case QEvent::Drop:
        case QEvent::MouseButtonRelease:  // the selection pasted by the middle button
            return true;
        default:
            return false;
    }
}

// A password field shows "*" for every character, as on the original platform; in Qt the style
// chooses the mask character.
class StarMaskStyle : public QProxyStyle {
  public:
    explicit StarMaskStyle(const QString& baseStyle) : QProxyStyle(baseStyle) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// One for all edits, released with the application.
QStyle* StarMask() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new StarMaskStyle(QApplication::style()->name());
        style->setParent(qApp);
    }
    return style;
}

}  // namespace

SkinEdit::SkinEdit(QWidget* parent) : QLineEdit(parent) {
    // Whoever makes it a password field (the dialog file's style, the screen's set-up).
    setStyle(StarMask());
}
SkinEdit::~SkinEdit() = default;

void SkinEdit::SetDigitsOnly(bool on) {
    digitsOnly_ = on;
    UpdateValidator();
}

void SkinEdit::SetTypingLimit(int chars) {
    typingLimit_ = std::max(0, chars);
    UpdateValidator();
}

void SkinEdit::UpdateValidator() {
    const bool needed = digitsOnly_ || typingLimit_ > 0;
    if (needed && !rules_)
        rules_ = new InputRules(this, &digitsOnly_, &typingLimit_, &lengthBeforeInput_);
    setValidator(needed ? rules_ : nullptr);
}

void SkinEdit::SetFont(const QString& face, int height, int weight) {
    setFont(MakeFont(face, height, weight));
}

void SkinEdit::SetTooltip(const QString& text, const QFont& font) {
    setToolTip(WrappedToolTip(text, font));
}

void SkinEdit::SetText(const std::wstring& text) {
    lastMeasure_ = MeasureEditText(text, contentsRect().width(), FontMeasure(font()));
    setText(ToQString(text));
}

void SkinEdit::CheckText() {
    lastMeasure_ = MeasureEditText(ToWide(text()), contentsRect().width(), FontMeasure(font()));
}

bool SkinEdit::event(QEvent* event) {
    // The edit wants every key, Tab included.
    if (IsTabPress(event)) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    if (typingLimit_ <= 0 || !IsOperatorInput(event)) {
        return QLineEdit::event(event);
    }
    // A key may lead the screen away; the edit can be gone when the event returns.
    QPointer<SkinEdit> self(this);
    const int outer = lengthBeforeInput_;
    lengthBeforeInput_ = int(text().size());
    const bool handled = QLineEdit::event(event);
    if (self) {
        lengthBeforeInput_ = outer;
    }
    return handled;
}

void SkinEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool character = !text.isEmpty() && text.at(0) != QChar(0x7F);
    if (character) {
        if (digitsOnly_ && !DigitsOnlyAccepts(wchar_t(text.at(0).unicode()))) {
            event->accept();
            return;
        }
        QPointer<SkinEdit> self(this);
        QMetaObject::invokeMethod(
            this,
            [self] {
                if (self) {
                    self->CheckText();
                }
            },
            Qt::QueuedConnection);
    }
    if (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// ---- items ----

void SkinItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    painter->save();
    QColor pen = option.palette.color(QPalette::Active, QPalette::WindowText);
    if (option.state & QStyle::State_Selected) {
        // The choice stays visible in the list.
        painter->fillRect(option.rect, option.palette.color(QPalette::Active, QPalette::Highlight));
        pen = option.palette.color(QPalette::Active, QPalette::HighlightedText);
    }
    painter->setFont(option.font);
    painter->setPen(pen);
    DrawTextFlags(*painter, option.rect, index.data(Qt::DisplayRole).toString(), *format_);
    painter->restore();
}

// ---- SkinListBox ----

namespace {
// The chosen item in the accent colour with white text (6.7 : 1), not the style's lighter
// highlight, under which white text reads poorly.
void UseAccentHighlight(QWidget* w) {
    QPalette p = w->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Highlight, ToQColor(kFocusRingColour));
        p.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    w->setPalette(p);
}
}  // namespace

SkinListBox::SkinListBox(QWidget* parent) : QListWidget(parent) {
    UseAccentHighlight(this);
}
SkinListBox::~SkinListBox() = default;

void SkinListBox::SetFont(const QString& face, int height, int weight) {
    setFont(MakeFont(face, height, weight));
}

void SkinListBox::SetTooltip(const QString& text, const QFont& font) {
    setToolTip(WrappedToolTip(text, font));
}

void SkinListBox::SetOwnerDraw(bool on) {
    if (on && !delegate_) {
        delegate_ = new SkinItemDelegate(this, &itemFormat_);
        setItemDelegate(delegate_);
    } else if (!on && delegate_) {
        setItemDelegate(nullptr);
        delete delegate_;
        delegate_ = nullptr;
    }
}

bool SkinListBox::event(QEvent* event) {
    return QListWidget::event(event);
}

// ---- SkinComboBox ----

SkinComboBox::SkinComboBox(QWidget* parent) : QComboBox(parent) {
    UseAccentHighlight(this);
}
SkinComboBox::~SkinComboBox() = default;

void SkinComboBox::SetFont(const QString& face, int height, int weight) {
    setFont(MakeFont(face, height, weight));
}

void SkinComboBox::SetTooltip(const QString& text, const QFont& font) {
    setToolTip(WrappedToolTip(text, font));
}

void SkinComboBox::SetOwnerDraw(bool on) {
    if (on && !delegate_) {
        delegate_ = new SkinItemDelegate(this, &itemFormat_);
        setItemDelegate(delegate_);
    } else if (!on && delegate_) {
        setItemDelegate(new QStyledItemDelegate(this));
        delete delegate_;
        delegate_ = nullptr;
    }
}

int SkinComboBox::SelectionItemHeight() const {
    return fontMetrics().height();
}

int SkinComboBox::ListItemHeight() const {
    int h = count() > 0 ? view()->sizeHintForRow(0) : -1;
    return h > 0 ? h : fontMetrics().height();
}

int SkinComboBox::EdgeHeight() const {
    return style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
}

void SkinComboBox::SetVisibleItems(int n) {
    visibleItems_ = std::max(1, n);
    setMaxVisibleItems(visibleItems_);
    dropDownHeight_ =
        ComboHeight(SelectionItemHeight(), ListItemHeight(), visibleItems_, EdgeHeight());
}

bool SkinComboBox::event(QEvent* event) {
    return QComboBox::event(event);
}

// ---- forwarding variants ----

NavButton::~NavButton() = default;

bool NavButton::event(QEvent* event) {
    if (IsTabPress(event)) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return CVEKButton::event(event);
}

void NavButton::keyPressEvent(QKeyEvent* event) {
    CVEKButton::keyPressEvent(event);
    Forward(this, handler_, NavKind::Button, event);
}

NavEdit::~NavEdit() = default;

void NavEdit::keyPressEvent(QKeyEvent* event) {
    SkinEdit::keyPressEvent(event);
    Forward(this, handler_, NavKind::Edit, event);
}

NavListBox::~NavListBox() = default;

bool NavListBox::event(QEvent* event) {
    if (IsTabPress(event)) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return SkinListBox::event(event);
}

void NavListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Tab && event->key() != Qt::Key_Backtab) {
        SkinListBox::keyPressEvent(event);
    }
    Forward(this, handler_, NavKind::ListBox, event);
}

NavComboBox::~NavComboBox() = default;

bool NavComboBox::event(QEvent* event) {
    if (IsTabPress(event)) {
        keyPressEvent(static_cast<QKeyEvent*>(event));
        return true;
    }
    return SkinComboBox::event(event);
}

void NavComboBox::keyPressEvent(QKeyEvent* event) {
    const unsigned vk = VirtualKeyFromQt(event->key());
    if (!WithholdsOwnProcessing(NavKind::ComboBox, vk) && event->key() != Qt::Key_Tab &&
        event->key() != Qt::Key_Backtab) {
        SkinComboBox::keyPressEvent(event);
    }
    Forward(this, handler_, NavKind::ComboBox, event);
}

}  // namespace controls
