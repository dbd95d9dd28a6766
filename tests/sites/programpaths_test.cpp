#include "sites/programpaths.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProgramPaths, KvadoHomeHoldsBothFilesAndARelativeOneIgnoresLaterDirectoryChanges)
{
    QTemporaryDir home;
    qputenv("KVADO_HOME", home.path().toLocal8Bit());
    EXPECT_EQ(ProgramDirectory(), home.path());
    EXPECT_EQ(ProgramFilePath("Naslovi.kvs"), home.path() + "/Naslovi.kvs");
    EXPECT_EQ(SettingsFilePath(), home.path() + "/Kvado.ini");

    const QString start = QDir::currentPath();
    qputenv("KVADO_HOME", "demo/home");
    EXPECT_EQ(ProgramDirectory(), start + "/demo/home");
    ASSERT_TRUE(QDir::setCurrent(home.path()));
    EXPECT_EQ(ProgramDirectory(), start + "/demo/home");
    EXPECT_EQ(SettingsFilePath(), start + "/demo/home/Kvado.ini");
    QDir::setCurrent(start);

    qunsetenv("KVADO_HOME");
    EXPECT_TRUE(ProgramDirectory().endsWith("/Zorvek/Kvado"));
    EXPECT_TRUE(SettingsFilePath().endsWith("/Zorvek/Kvado.ini"));
}
