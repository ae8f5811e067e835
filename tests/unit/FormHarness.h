// The common ground of the handler tests: a fresh window on a fresh fake, and the shared strings
// back at their start values.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "modules/mdlCommon.h"
#include "tests/unit/FakePlatform.h"
#include "window/frmStartup.h"

namespace pruvolt::test {

class FormTest : public ::testing::Test {
   protected:
    FormTest() {
        mdlCommon::strConnection.clear();
        mdlCommon::strTempFolder.clear();
        mdlCommon::strSetupSource.clear();
        mdlCommon::strSetupFile.clear();
    }

    // Each returns true when the program ended during the handler.
    bool Load() {
        return EndsProgram(fake, [this] { form.Form_Load(); });
    }
    bool Click(std::int16_t index) {
        return EndsProgram(fake, [this, index] { form.cmdInstall_Click(index); });
    }
    bool Tick() {
        return EndsProgram(fake, [this] { form.tmrEvents_Timer(); });
    }

    FakePlatform fake;
    frmStartup form{fake};
};

template <class Param>
class FormTestWithParam : public FormTest, public ::testing::WithParamInterface<Param> {};

}  // namespace pruvolt::test
