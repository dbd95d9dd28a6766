#include "support/exceptionrecorder.h"

#include <gtest/gtest.h>

namespace {
class ClearEachTest : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { ExceptionRecorder::Clear(); }
};
} // namespace

std::vector<std::exception_ptr>& ExceptionRecorder::All()
{
    static std::vector<std::exception_ptr> recorded;
    return recorded;
}

void ExceptionRecorder::Install()
{
    SetExceptionReporter([](std::exception_ptr e) { All().push_back(e); });
    testing::UnitTest::GetInstance()->listeners().Append(new ClearEachTest);
}

void ExceptionRecorder::Clear() { All().clear(); }

std::size_t ExceptionRecorder::Count() { return All().size(); }

QString ExceptionRecorder::MessageAt(std::size_t index) { return ExceptionMessage(All().at(index)); }
