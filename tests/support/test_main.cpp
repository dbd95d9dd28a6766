// The one test main: a QApplication on the offscreen platform (unless the
// caller chose another, e.g. xcb under Xvfb), every escaped exception recorded.
#include "support/exceptionrecorder.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    ExceptionRecorder::Install();
    return RUN_ALL_TESTS();
}
