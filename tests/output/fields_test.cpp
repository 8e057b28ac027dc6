// The output windows' fields as a user works them: number fields with the editing keys and
// shortcuts, spin boxes that select their number, and the folder chooser's refusal of a typed
// folder that does not exist.

#include "common/orb_common.h"
#include "output/form_export_frames.h"
#include "output/save_thumb.h"
#include "skin/te_controls.h"
#include "tests/frames/frames_fixture.h"

#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

namespace {

class OutputFieldsTest : public TFramesTest {
protected:
    TOrbCommonUnit FUnit;
    QTemporaryDir Dir;

    void Show(QDialog& dialog) {
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }
    static void Key(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(w, key, mods);
    }
};

TEST_F(OutputFieldsTest, NumberFieldsWarnOnlyForTypedCharactersThatAreNoDigits) {
    Fill(1);
    TFormExportFrames form(&List, nullptr);
    Show(form);
    QLineEdit* count = form.EditFileCount;
    QTest::mouseClick(count, Qt::LeftButton, {}, QPoint(5, 10));
    EXPECT_EQ(count->selectedText(), QStringLiteral("1")) << "a click selects the number";

    count->setText(QStringLiteral("25"));
    Key(count, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(count->selectedText(), QStringLiteral("25"));
    Key(count, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("25"));
    for (Qt::Key key : {Qt::Key_End, Qt::Key_Home, Qt::Key_Right, Qt::Key_Left, Qt::Key_Delete})
        Key(count, key);
    EXPECT_EQ(count->text(), QStringLiteral("5")) << "Delete at the start removes the 2";
    Key(count, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(count->text(), QStringLiteral("25")) << "Ctrl+Z undoes the typing";
    QGuiApplication::clipboard()->setText(QStringLiteral("300"));
    Key(count, Qt::Key_A, Qt::ControlModifier);
    Key(count, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(count->text(), QStringLiteral("300"));
    Key(count, Qt::Key_Backspace);
    Key(count, Qt::Key_Return);
    Key(count, Qt::Key_Escape);
    EXPECT_EQ(count->text(), QStringLiteral("30"));
    EXPECT_TRUE(Desktop.Messages.isEmpty()) << Desktop.Texts().join('|').toStdString();
    EXPECT_EQ(Desktop.Beeps, 0);
    EXPECT_TRUE(form.isVisible()) << "Enter and Escape close nothing";

    QTest::keyClicks(count, QStringLiteral("7x"));
    EXPECT_EQ(count->text(), QStringLiteral("307"));
    EXPECT_EQ(Desktop.Beeps, 1);
    EXPECT_EQ(Desktop.Texts(), QStringList{QStringLiteral("Error input, only accept integer!")});
}

// A width of "600" clicked into and typed over stays the number typed, and the sheet is that
// wide; Tab into the next field selects its number too, and Ctrl+A selects it again.
TEST_F(OutputFieldsTest, SpinBoxesSelectTheirNumberSoThatTypingReplacesIt) {
    Fill(3);
    TFormSaveThumb form(&List, nullptr);
    Show(form);
    QTest::mouseClick(form.TeEdit_imgw, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(form.TeEdit_imgw->selectedText(), QStringLiteral("600"));
    QTest::keyClicks(form.TeEdit_imgw, QStringLiteral("1000"));
    Key(form.TeEdit_imgw, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(form.TeEdit_imgw, QStringLiteral("800"));
    EXPECT_EQ(form.TeEdit_imgw->text(), QStringLiteral("800"));
    Key(form.TeEdit_imgw, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), form.TeEdit_rows);
    EXPECT_EQ(form.TeEdit_rows->selectedText(), QStringLiteral("4"));
    QTest::keyClicks(form.TeEdit_rows, QStringLiteral("1"));
    EXPECT_EQ(form.TeEdit_rows->text(), QStringLiteral("1"));
    EXPECT_EQ(Desktop.Beeps, 0);

    const QString path = Dir.filePath(QStringLiteral("sheet.jpg"));
    Desktop.SaveFileAnswers.push_back({path, 1});
    form.btn_save->click();
    EXPECT_TRUE(form.Sheet().WaitForEnd());
    EXPECT_TRUE(Desktop.Messages.isEmpty()) << Desktop.Texts().join('|').toStdString();
    const QImage sheet(path);
    EXPECT_EQ(sheet.width(), 800);
    EXPECT_EQ(sheet.height(), 1 * ((800 - 25) / 4 * 480 / 640) + 2 * 5);
}

// The real chooser, driven as a user would: a typed folder that does not exist gets the
// export's own refusal and the chooser stays open; "Create New Folder" makes a folder, and
// choosing it puts its path into the export window.
TEST_F(OutputFieldsTest, TheFolderChooserRefusesAMissingFolderAndMakesNewOnes) {
    Fill(1);
    kw::Desktop().BrowseForFolder = kw::RealDesktop().BrowseForFolder;
    TFormExportFrames form(&List, nullptr);
    Show(form);
    const QString missing = Dir.filePath(QStringLiteral("no such folder"));
    const QString made = Dir.filePath(QStringLiteral("New Folder"));
    bool driven = false;
    QTimer::singleShot(0, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        auto finish = qScopeGuard([&] {
            if (chooser->isVisible())
                chooser->reject();
        });
        chooser->setDirectory(Dir.path());
        auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(missing);
        // A box of the dialog's own in the way would wait for an answer: it is closed.
        QTimer::singleShot(0, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                box->reject();
        });
        Key(name, Qt::Key_Return);
        ASSERT_EQ(Desktop.Texts(),
                  QStringList{QStringLiteral("\"%1\" is an invalid path").arg(missing)});
        ASSERT_TRUE(chooser->isVisible()) << "the chooser stays open";

        QToolButton* newFolder = nullptr;
        for (QToolButton* b : chooser->findChildren<QToolButton*>())
            if (b->toolTip() == QStringLiteral("Create New Folder"))
                newFolder = b;
        ASSERT_NE(newFolder, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return newFolder->isEnabled(); }, 5000));
        newFolder->click();
        ASSERT_TRUE(QFileInfo(made).isDir());
        name->setText(made);
        Key(name, Qt::Key_Return);
        driven = true;
    });
    form.BtnOutFolder->click();
    EXPECT_TRUE(driven);
    EXPECT_EQ(form.EditOutputFolder->text(), made);
    EXPECT_EQ(Desktop.Messages.size(), 1);
}

} // namespace
