#pragma once
// TTeTrackBar: the skin's horizontal slider, painted by code in the glossy "Aqua" look.
//
// Min < Max always holds: a Min not below Max or a Max not above Min is ignored. Position is
// clamped into Min..Max. With JumpByClick a left click on the track away from the thumb
// moves the thumb to the clicked place (and drags it from there); without it the click steps
// by PageSize towards the click. Keys: Page Up/Down by PageSize, arrows by 1, Home, End.

#include <QWidget>

#include <cstdint>

class TTeTrackBar : public QWidget {
    Q_OBJECT
public:
    explicit TTeTrackBar(QWidget* parent = nullptr);

    std::int32_t Min() const { return FMin; }
    void SetMin(std::int32_t value);
    std::int32_t Max() const { return FMax; }
    void SetMax(std::int32_t value);
    std::int32_t Position() const { return FPosition; }
    void SetPosition(std::int32_t value);
    bool JumpByClick() const { return FJumpByClick; }
    void SetJumpByClick(bool value) { FJumpByClick = value; }
    bool ShowTicks() const { return FShowTicks; }
    void SetShowTicks(bool value);
    std::int32_t PageSize() const { return FPageSize; }
    void SetPageSize(std::int32_t value) { FPageSize = value; }

    // Geometry of the track, for painting and for mapping the mouse.
    QRect ThumbRect() const;
    // The horizontal pixel offset of a position on the track (clamped into Min..Max).
    int PositionX(std::int32_t value) const;
    // The position under a horizontal pixel offset, clamped into Min..Max.
    std::int32_t PositionAt(int x) const;
    bool Dragging() const { return FDragging; }

    QSize sizeHint() const override { return {192, 40}; }

signals:
    void OnChange();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int TrackLeft() const;
    int TrackWidth() const;

    std::int32_t FMin = 0;
    std::int32_t FMax = 10;
    std::int32_t FPosition = 3;
    std::int32_t FPageSize = 2;
    bool FJumpByClick = false;
    bool FShowTicks = true;
    bool FDragging = false;
    int FDragOffset = 0;
};
