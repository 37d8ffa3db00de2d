#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

namespace {

// The test executable lives in the build folder of this test directory.
const QString kExpected = QFileInfo(QStringLiteral(TEST_BINARY_DIR)).canonicalFilePath();

TEST(ProgramFolder, IsTheExecutablesFolderWithAndWithoutAnApplication) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    const QString without_app = platform::ProgramFolder();
    EXPECT_EQ(QFileInfo(without_app).canonicalFilePath(), kExpected);
    EXPECT_FALSE(without_app.endsWith(QLatin1Char('/')));
    EXPECT_EQ(platform::ProgramFilePath("setting.ini"), without_app + "/setting.ini");

    // argv[0] as a bare name must not matter: the application resolves the real executable.
    int argc = 1;
    char name[] = "platform_core_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString with_app = platform::ProgramFolder();
    EXPECT_EQ(QFileInfo(with_app).canonicalFilePath(), kExpected);
    EXPECT_FALSE(with_app.endsWith(QLatin1Char('/')));
}

}  // namespace
