#pragma once
// A test on the main window, shown and active so that keys reach it, with the desktop faked;
// closed at the end without the question about unsaved frames.

#include "app/unit_main.h"
#include "common/orb_common.h"
#include "tests/support/fake_desktop.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace fctest {

class TMainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        FForm = std::make_unique<TFormMain>();
        FForm->show();
        FForm->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(FForm.get()));
    }
    void TearDown() override {
        FForm->CloseWithoutAsking();
        FForm.reset();
    }

    TFakeDesktop FDesktop;
    TOrbCommonUnit FUnit;
    std::unique_ptr<TFormMain> FForm;
};

} // namespace fctest
