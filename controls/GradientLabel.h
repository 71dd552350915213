#pragma once
// The screens' painted text label: own font and colour, solid, transparent or two-colour
// gradient background, word-wrapped lines, an optional picture, all drawn through one
// off-screen buffer.
#include <QFont>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <string>

class CGradientLabel : public QWidget {
    Q_OBJECT
  public:
    // style: the window style bits of the label in its dialog template (alignment, prefix,
    // ellipsis, centre-image).
    explicit CGradientLabel(QWidget* parent = nullptr, uint32_t style = 0);
    ~CGradientLabel() override;

    void SetText(const std::wstring& text);
    void SetText(const QString& text) { SetText(text.toStdWString()); }
    const std::wstring& Text() const { return text_; }

    void SetTextColor(uint32_t colour);
    uint32_t TextColor() const { return textColour_; }
    void SetTransparent(bool on);
    bool IsTransparent() const { return transparent_; }
    void SetFont(const QString& face, int height, int weight, bool redraw = true);
    const QFont& LabelFont() const { return font_; }
    // direction 0: solid background; 1: left to right; other: top to bottom.
    void SetGradient(uint32_t start, uint32_t end, int direction);
    void SetAutoShrink(bool on) { autoShrink_ = on; }
    void SetExtraTextFlags(uint32_t flags) { extraFlags_ = flags; }
    void Set3DText(bool on, bool direction);
    // printf-style formatting into a 2048-character buffer (wide formats: %ls for texts).
    void FormatText(const wchar_t* format, ...);
    void AppendFormatText(const wchar_t* format, ...);
    // Loads a picture drawn instead of the background; false (and no change) when it cannot be
    // read. The label keeps its size.
    bool SetBitmapFile(const QString& path);
    bool HasBitmap() const { return !bitmap_.isNull(); }
    int PointSize() const { return pointSize_; }
    uint32_t CapturedStyle() const { return style_; }

    // Points <-> font height for this display.
    static int PointsToHeight(int points);
    static int HeightToPoints(int height);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void RebuildFontFromPoints();

    std::wstring text_;
    bool transparent_ = false;
    bool autoShrink_ = false;
    bool wordWrap_ = true;
    uint32_t textColour_;
    int direction_ = 0;
    uint32_t background_;
    uint32_t startColour_;
    uint32_t endColour_;
    uint32_t style_;
    uint32_t extraFlags_ = 0;
    QImage bitmap_;
    int bitmapResource_ = -1;
    QString bitmapFile_;
    bool text3d_ = false;
    bool text3dDirection_ = false;
    QFont font_;
    int pointSize_ = 8;
};
