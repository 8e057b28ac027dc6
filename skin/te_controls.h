#pragma once
// The skinned classes the windows are built from. Most are the standard Qt widgets, which the
// Aqua style sheet dresses; the classes exist so that the windows name what they use, and add
// the few properties the windows set.

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QTimer>
#include <QWidget>

class TTeButton : public QPushButton {
    Q_OBJECT
public:
    explicit TTeButton(QWidget* parent = nullptr) : QPushButton(parent) {}
    explicit TTeButton(const QString& text, QWidget* parent = nullptr)
        : QPushButton(text, parent) {}
};

class TTeCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit TTeCheckBox(QWidget* parent = nullptr) : QCheckBox(parent) {}
    explicit TTeCheckBox(const QString& text, QWidget* parent = nullptr)
        : QCheckBox(text, parent) {}
};

class TTeRadioButton : public QRadioButton {
    Q_OBJECT
public:
    explicit TTeRadioButton(QWidget* parent = nullptr) : QRadioButton(parent) {}
    explicit TTeRadioButton(const QString& text, QWidget* parent = nullptr)
        : QRadioButton(text, parent) {}
};

// A one-line edit: black text on white.
class TTeEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TTeEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}
};

// A progress bar with the Min / Max / Position names the outputs use; no text on it.
class TTeProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit TTeProgressBar(QWidget* parent = nullptr);
    int Min() const { return minimum(); }
    int Max() const { return maximum(); }
    int Position() const { return value(); }
    void SetMin(int min) { setMinimum(min); }
    void SetMax(int max) { setMaximum(max); }
    // Clamped into Min..Max (QProgressBar alone would ignore a value outside the range);
    // painted at the next pass of the event loop, not at once.
    void SetPosition(int position);
};

// Spin arrows that step the number in an associated edit. Associate() puts the arrows on the
// edit's right end, inside the edit's width, as the classic up-down control does. A click
// reads the edit's number (or Position when the text is no number), adds or takes Increment,
// keeps it within Min..Max and writes it back without thousands separators (the edits convert
// their text with StrToInt). Held down, the arrows repeat.
class TTeUpDown : public QWidget {
    Q_OBJECT
public:
    explicit TTeUpDown(QWidget* parent = nullptr); // 17 x 22
    int Min() const { return FMin; }
    void SetMin(int min);
    int Max() const { return FMax; }
    void SetMax(int max);
    int Increment() const { return FIncrement; }
    void SetIncrement(int increment);
    int Position() const { return FPosition; }
    void SetPosition(int position); // clamped; also writes the associated edit
    QLineEdit* Associate() const { return FAssociate; }
    void SetAssociate(QLineEdit* edit);

    // One step up (+Increment) or down, as a click on an arrow does.
    void Step(bool up);

signals:
    void Changed(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void PlaceBesideAssociate();
    int FMin = 0, FMax = 100, FIncrement = 1, FPosition = 0;
    QPointer<QLineEdit> FAssociate;
    int FPressed = 0; // +1 up arrow held, -1 down arrow held
    QTimer FRepeat;
};

class TTePopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit TTePopupMenu(QWidget* parent = nullptr) : QMenu(parent) {}
};

class TTeItem : public QAction {
    Q_OBJECT
public:
    explicit TTeItem(QObject* parent = nullptr) : QAction(parent) {}
    explicit TTeItem(const QString& text, QObject* parent = nullptr) : QAction(text, parent) {}
};

// A container that scrolls vertically and holds child widgets at positions the owner sets.
// Children go on Content(), which is always as wide as the visible area; its height is set
// by the owner (SetContentHeight) and decides the scroll range. No horizontal scrolling.
class TTeScrollBox : public QScrollArea {
    Q_OBJECT
public:
    explicit TTeScrollBox(QWidget* parent = nullptr);
    QWidget* Content() const { return FContent; }
    int ContentHeight() const { return FContentHeight; }
    void SetContentHeight(int height);
    int ScrollPos() const;           // the content's row at the top of the visible area
    void SetScrollPos(int position); // clamped to the range

protected:
    bool viewportEvent(QEvent* event) override;

private:
    void FitContent();
    QWidget* FContent;
    int FContentHeight = 0;
};

// The bar between a left-docked panel and the rest of its window. It is docked Left right
// after the panel it resizes (Control(); when not set, the visible sibling whose right edge
// touches the splitter's left edge). Dragging resizes that panel live, on every mouse move,
// never below MinSize and never so far that less than MinSize remains to the right of the
// splitter (the minimum wins in a window too narrow for both); then the parent's layout is
// run again at once.
class TTeSplitter : public QWidget {
    Q_OBJECT
public:
    explicit TTeSplitter(QWidget* parent = nullptr); // 6 pixels wide
    int MinSize() const { return FMinSize; }
    void SetMinSize(int minSize);
    QWidget* Control() const;
    void SetControl(QWidget* control);

signals:
    void Moved();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* FindControl() const;
    void ResizeControlTo(int width);
    int FMinSize = 30;
    QPointer<QWidget> FControl;
    bool FDragging = false;
    int FGrabX = 0;      // pointer x in the parent when the drag began
    int FStartWidth = 0; // the control's width when the drag began
};
