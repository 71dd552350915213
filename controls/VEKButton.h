#pragma once
// The screens' skinned push button: a picture, caption, background and 3D edges per visual state
// (normal, pushed, hot, disabled), drawn through one off-screen buffer; push, check box or radio
// behaviour, radio buttons latching within their group.
#include <QAbstractButton>
#include <QFont>
#include <QImage>
#include <QRegion>
#include <array>
#include <cstdint>
#include <string>

#include "controls/ControlsLogic.h"

class AnimatedPicture;

class CVEKButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit CVEKButton(QWidget* parent = nullptr);
    ~CVEKButton() override;

    template <class T>
    using PerState = std::array<T, controls::kStateCount>;

    // Per-state setters: normal value, apply-to-unset flag, then pushed, hot, disabled values.
    // A value equal to the setter's sentinel leaves its state alone (see ApplyStateValues).
    void SetBitmaps(const QString& normal, bool applyToUnset = false, const QString& pushed = {},
                    const QString& hot = {}, const QString& disabled = {});
    void SetCaptions(const std::wstring& normal, bool applyToUnset = true,
                     const std::wstring& pushed = {}, const std::wstring& hot = {},
                     const std::wstring& disabled = {});
    void SetFontFaces(const QString& normal, bool applyToUnset = true, const QString& pushed = {},
                      const QString& hot = {}, const QString& disabled = {});
    void SetFontHeights(int normal, bool applyToUnset = true, int pushed = 11, int hot = 11,
                        int disabled = 11);
    void SetFontStyles(uint32_t normal, bool applyToUnset = true, uint32_t pushed = 0,
                       uint32_t hot = 0, uint32_t disabled = 0);
    // Sentinels: the system button-text colour, the grey-text colour for the disabled value.
    void SetTextColors(uint32_t normal, bool applyToUnset, uint32_t pushed, uint32_t hot,
                       uint32_t disabled);
    void SetTextColors(uint32_t normal, bool applyToUnset = true);
    // Every state takes colour, sentinel or not: SetTextColors reads a value equal to the
    // system button-text colour (black, 0, on most systems) as "leave the normal state alone".
    void SetTextColorsAll(uint32_t colour);
    uint32_t TextColor(int state) const;
    void SetTextFormats(uint32_t normal, bool applyToUnset = true, uint32_t pushed = 37,
                        uint32_t hot = 37, uint32_t disabled = 37);
    void SetBitmapAlignments(int normal, bool applyToUnset = true, int pushed = 0x25,
                             int hot = 0x25, int disabled = 0x25);
    // Sentinel: the system button-face colour.
    void SetBackgroundColors(uint32_t normal, bool applyToUnset, uint32_t pushed, uint32_t hot,
                             uint32_t disabled);
    void SetBackgroundColors(uint32_t normal, bool applyToUnset = true);
    void SetEdgeWidths(int normal, bool applyToUnset = true, int pushed = 2, int hot = 2,
                       int disabled = 2);
    void SetEdgeStyles(int normal, bool applyToUnset = false, int pushed = controls::kEdgeSunken,
                       int hot = controls::kEdgeRaised, int disabled = controls::kEdgeFlat);
    // Flags have no sentinel: with applyToAll every state takes the normal value.
    void SetDrawBackground(bool normal, bool applyToAll = true, bool pushed = false,
                           bool hot = false, bool disabled = false);
    void SetBitmapShift(bool normal, bool applyToAll = true, bool pushed = false, bool hot = false,
                        bool disabled = false);
    void SetCaptionShift(bool normal, bool applyToAll = true, bool pushed = false, bool hot = false,
                         bool disabled = false);
    void SetOpacity(int state, int opacity);
    void SetKeyColors(int state, uint32_t key1, uint32_t key2);
    void SetBitmapRect(int state, const controls::Rect& r);
    void SetTextRect(int state, const controls::Rect& r);
    void SetCorners(int width, int height);
    void SetButtonType(int type, bool radioGlyph = false);
    int ButtonType() const { return type_; }
    // Radio buttons of the same parent and group number latch together.
    void SetGroup(int group) { group_ = group; }
    int Group() const { return group_; }

    // parentBackground: the parent's background picture (the part under the button becomes the
    // button's backdrop), or null. callerValue is kept for the caller.
    void BuildSkin(const QImage* parentBackground, intptr_t callerValue, uint32_t layerOff,
                   bool initialCheck = false);
    bool SkinBuilt() const { return skinBuilt_; }
    // Each state's caption in white or ink, whichever reads better on the middle of that state's
    // picture; a state without one, and the disabled one, keep theirs.
    void MatchCaptionsToBitmaps();
    // Once the button has been moved or resized after its skin was built: the pictures cover
    // the whole button, the captions that took the whole button still do, and the backdrop is
    // read from where the button now is.
    void FitSkinToButton();
    // The size of a state's picture as loaded (empty without one).
    QSize BitmapSize(int state) const;
    intptr_t CallerValue() const { return callerValue_; }

    // On: a radio look without glyph (white backgrounds, flat edges) with two companion pictures
    // placed left and right of the button. Off: no background fills.
    void SetCheckMode(bool on, AnimatedPicture* left = nullptr, AnimatedPicture* right = nullptr);

    void SetTooltip(const QString& text, const QFont& font);
    // A system cursor by its classic identifier (32512 arrow, 32649 hand, ...).
    void SetButtonCursor(int systemCursorId);

    std::wstring Caption(int state) const;
    // True when that state has a picture of its own.
    bool HasBitmap(int state) const;
    // The font and the rectangle the caption of that state is drawn with.
    QFont CaptionFont(int state) const;
    QRect CaptionRect(int state) const;
    // Checks the button and unchecks the rest of its group at once.
    void Latch();
    // Checking a radio button unchecks the rest of its group by a posted message: after the
    // press that checked it has been handled.
    void SetCheck(bool checked);
    bool GetCheck() const { return checked_; }
    bool IsHot() const { return hot_; }
    // State the next paint draws.
    int CurrentState() const;

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Unchecks the other radio buttons of the group, at once or by a posted message.
    void OnGroupChecked(bool now);
    void OnGroupCheckedMessage();
    void Repaint();
    int MaxEdgeWidth() const;
    void DrawEdges(QPainter& p, int state) const;
    void DrawBitmapLayer(QPainter& p, int state) const;
    void DrawCaption(QPainter& p, int state) const;
    void DrawGlyph(QPainter& p, int state) const;

    QSize skinSize_;
    PerState<QString> bitmapFile_;
    PerState<QImage> bitmap_;
    PerState<QImage> stretched_;
    PerState<std::wstring> caption_;
    PerState<QString> fontFace_;
    PerState<int> fontHeight_;
    PerState<uint32_t> fontStyle_;
    PerState<uint32_t> textColour_;
    PerState<uint32_t> textFormat_;
    PerState<int> alignment_;
    PerState<uint32_t> background_;
    PerState<int> edgeWidth_;
    PerState<int> edgeStyle_;
    PerState<bool> drawBackground_;
    PerState<bool> bitmapShift_;
    PerState<bool> captionShift_;
    PerState<controls::Rect> bitmapRect_;
    PerState<controls::Rect> textRect_;
    PerState<int> opacity_;
    PerState<bool> keyColoursSet_;
    PerState<uint32_t> key1_;
    PerState<uint32_t> key2_;
    PerState<QRegion> region_;
    PerState<std::array<uint32_t, 4>> edges_;

    int cornerW_ = 0;
    int cornerH_ = 0;
    QRegion rounded_;
    QImage snapshot_;     // the parent's background under the button (maybe the whole of it)
    QRect snapshotRect_;  // the button's part of snapshot_
    bool checked_ = false;
    bool hot_ = false;
    bool mouseDown_ = false;
    bool layerBackground_ = true;
    bool layerBitmap_ = false;
    bool layerCaption_ = true;
    bool layerEdges_ = true;
    bool layerFocus_ = true;
    int type_ = controls::kTypePush;
    bool radioGlyph_ = false;
    int group_ = 0;
    bool skinBuilt_ = false;
    intptr_t callerValue_ = 0;
};
