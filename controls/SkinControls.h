#pragma once
// Skinned edit, list and combo controls (own font, tooltip, owner-drawn items) and their
// key-forwarding variants, which hand navigation keys to the screen's NavigationHandler.
#include <QComboBox>
#include <QFont>
#include <QLineEdit>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <QValidator>
#include <cstdint>
#include <string>

#include "controls/NavigationHandler.h"
#include "controls/VEKButton.h"

namespace controls {

class SkinEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit SkinEdit(QWidget* parent = nullptr);
    ~SkinEdit() override;

    void SetFont(const QString& face, int height, int weight);
    void SetTooltip(const QString& text, const QFont& font);
    // Typed characters are filtered as they come; pasted or dropped text that is not all
    // digits is refused whole.
    void SetDigitsOnly(bool on);
    bool DigitsOnly() const { return digitsOnly_; }
    // What the operator types, pastes or drops keeps the text at most chars characters long
    // (0 or less: no limit). Text the program sets is never cut: one longer than the limit is
    // shown whole, and the operator may shorten it but not lengthen it.
    void SetTypingLimit(int chars);
    int TypingLimit() const { return typingLimit_; }
    void SetText(const std::wstring& text);
    // Result of the last measurement of the text (nothing acts on it).
    int LastMeasure() const { return lastMeasure_; }

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CheckText();
    void UpdateValidator();

    bool digitsOnly_ = false;
    int typingLimit_ = 0;
    // Length of the text when the operator's current input began; -1 outside one.
    int lengthBeforeInput_ = -1;
    QValidator* rules_ = nullptr;
    int lastMeasure_ = -1;
};

// Draws an item's text in the window-text colour on a transparent background, with the
// control's item text format.
class SkinItemDelegate : public QStyledItemDelegate {
  public:
    explicit SkinItemDelegate(QObject* parent, const uint32_t* format)
        : QStyledItemDelegate(parent), format_(format) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

  private:
    const uint32_t* format_;
};

class SkinListBox : public QListWidget {
    Q_OBJECT
  public:
    explicit SkinListBox(QWidget* parent = nullptr);
    ~SkinListBox() override;

    void SetFont(const QString& face, int height, int weight);
    void SetTooltip(const QString& text, const QFont& font);
    // Owner-drawn items (decided by the screen files).
    void SetOwnerDraw(bool on);
    void SetItemTextFormat(uint32_t format) { itemFormat_ = format; }
    uint32_t ItemTextFormat() const { return itemFormat_; }

  protected:
    bool event(QEvent* event) override;

  private:
    uint32_t itemFormat_ = controls::kDtLeft | controls::kDtVCenter | controls::kDtSingleLine;
    SkinItemDelegate* delegate_ = nullptr;
};

class SkinComboBox : public QComboBox {
    Q_OBJECT
  public:
    explicit SkinComboBox(QWidget* parent = nullptr);
    ~SkinComboBox() override;

    void SetFont(const QString& face, int height, int weight);
    void SetTooltip(const QString& text, const QFont& font);
    void SetOwnerDraw(bool on);
    void SetItemTextFormat(uint32_t format) { itemFormat_ = format; }
    // The drop-down shows n items; its height is the selection field, n list items and four
    // edge heights.
    void SetVisibleItems(int n);
    int VisibleItems() const { return visibleItems_; }
    int DropDownHeight() const { return dropDownHeight_; }
    int SelectionItemHeight() const;
    int ListItemHeight() const;
    int EdgeHeight() const;

  protected:
    bool event(QEvent* event) override;

  private:
    uint32_t itemFormat_ = controls::kDtLeft | controls::kDtVCenter | controls::kDtSingleLine;
    int visibleItems_ = 5;
    int dropDownHeight_ = 0;
    SkinItemDelegate* delegate_ = nullptr;
};

// ---- key-forwarding variants ----

class NavButton : public CVEKButton {
    Q_OBJECT
  public:
    explicit NavButton(QWidget* parent = nullptr) : CVEKButton(parent) {}
    ~NavButton() override;
    void SetNavigationHandler(NavigationHandler* handler) { handler_ = handler; }

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    NavigationHandler* handler_ = nullptr;
};

class NavEdit : public SkinEdit {
    Q_OBJECT
  public:
    explicit NavEdit(QWidget* parent = nullptr) : SkinEdit(parent) {}
    ~NavEdit() override;
    void SetNavigationHandler(NavigationHandler* handler) { handler_ = handler; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    NavigationHandler* handler_ = nullptr;
};

class NavListBox : public SkinListBox {
    Q_OBJECT
  public:
    explicit NavListBox(QWidget* parent = nullptr) : SkinListBox(parent) {}
    ~NavListBox() override;
    void SetNavigationHandler(NavigationHandler* handler) { handler_ = handler; }

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    NavigationHandler* handler_ = nullptr;
};

class NavComboBox : public SkinComboBox {
    Q_OBJECT
  public:
    explicit NavComboBox(QWidget* parent = nullptr) : SkinComboBox(parent) {}
    ~NavComboBox() override;
    void SetNavigationHandler(NavigationHandler* handler) { handler_ = handler; }

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    NavigationHandler* handler_ = nullptr;
};

}  // namespace controls
