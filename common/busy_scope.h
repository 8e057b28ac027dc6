#pragma once
// The busy scope of a window whose long work runs: the hourglass, the window's buttons
// disabled except its Cancel, and every mouse press, key and close request aimed at the window
// swallowed, except what goes to the Cancel button, so that nothing the user does there starts
// anything or closes it while the work runs. Everything is put back when the scope ends,
// whether the work finished, failed or was cancelled, and the progress bar returns to 0.
// Message boxes and file dialogs the window opens are windows of their own and take their
// input as usual.

#include <QObject>
#include <QPointer>

#include <utility>
#include <vector>

class QProgressBar;
class QWidget;

namespace kw {

struct TBusySpec {
    QWidget* Window = nullptr;
    std::vector<QWidget*> Disable; // buttons disabled while busy
    QWidget* Cancel = nullptr;     // stays enabled and takes its clicks
    QProgressBar* Bar = nullptr;   // follows the work's progress, back to 0 at the end
    int Count = -1;                // when 0 or more, the bar runs from 0 to Count - 1
};

class TBusyScope : public QObject {
public:
    explicit TBusyScope(const TBusySpec& busy);
    ~TBusyScope() override;
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

    // True while a scope is open on the window.
    static bool IsBusy(const QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> FWindow;
    QPointer<QWidget> FCancel;
    std::vector<std::pair<QPointer<QWidget>, bool>> FButtons; // and whether each was enabled
    QPointer<QProgressBar> FBar;
    bool FCancelWasEnabled = true;
};

} // namespace kw
