#include "tests/support/fake_desktop.h"

#include <QDialog>

TFakeDesktop::TFakeDesktop() {
    kw::TDesktop d;
    d.ShowMessage = [this](const kw::TMessage& m) {
        Messages.append(m);
        if (OnMessage)
            OnMessage(m);
        return Answer;
    };
    d.ShowModal = [this](QDialog& dialog) {
        ModalTitles.append(dialog.windowTitle());
        return OnModal ? OnModal(dialog) : int(QDialog::Rejected);
    };
    d.OpenFileName = [this](const kw::TFileDialogRequest& r) {
        FileRequests.append(r);
        if (OpenFileAnswers.empty())
            return QString();
        QString a = OpenFileAnswers.front();
        OpenFileAnswers.pop_front();
        return a;
    };
    d.OpenFileNames = [this](const kw::TFileDialogRequest& r) {
        FileRequests.append(r);
        if (OpenFilesAnswers.empty())
            return QStringList();
        QStringList a = OpenFilesAnswers.front();
        OpenFilesAnswers.pop_front();
        return a;
    };
    d.SaveFileName = [this](kw::TFileDialogRequest& r) {
        FileRequests.append(r);
        if (SaveFileAnswers.empty())
            return QString();
        auto a = SaveFileAnswers.front();
        SaveFileAnswers.pop_front();
        r.FilterIndex = a.second;
        return a.first;
    };
    d.BrowseForFolder = [this](QWidget*, const QString&) {
        if (FolderAnswers.empty())
            return QString();
        QString a = FolderAnswers.front();
        FolderAnswers.pop_front();
        return a;
    };
    d.ShellOpen = [this](const QString& target, std::function<void()> failed) {
        Opened.append(target);
        if (ShellAccepts)
            OpenFailures.push_back(std::move(failed));
        return ShellAccepts;
    };
    d.StartProgram = [this](const QString& program, const QStringList& args,
                            std::function<void()> failed) {
        Started.append(QStringList{program} + args);
        if (StartAccepts)
            OpenFailures.push_back(std::move(failed));
        return StartAccepts;
    };
    d.ScreenPixel = [this](QPoint p) { return ScreenPixel(p); };
    d.PickScreenColor = [this](QWidget*, std::function<void(int, QRgb)> done) {
        PickScreenColor(std::move(done));
    };
    d.ScreenSize = [this] { return ScreenSize; };
    d.FontFamilies = [this] { return Fonts; };
    d.ChooseColor = [this](QWidget*, QRgb initial) {
        ColorRequests.append(initial);
        if (ColorAnswers.empty())
            return qint64(-1);
        const qint64 a = ColorAnswers.front();
        ColorAnswers.pop_front();
        return a;
    };
    d.Beep = [this] { ++Beeps; };
    d.AvailableMemory = [this] { return AvailableMemory; };
    d.DiskSpace = [this](const QString& folder) {
        return DiskSpaceCall ? DiskSpaceCall(folder) : DiskSpace;
    };
    FOverride = new kw::TDesktopOverride(std::move(d));
}

TFakeDesktop::~TFakeDesktop() {
    delete FOverride;
}

QStringList TFakeDesktop::Texts() const {
    QStringList texts;
    for (const kw::TMessage& m : Messages)
        texts << m.Text;
    return texts;
}
