#include "platform/Settings.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Points the settings at a private folder for the test's length.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(FConfig.isValid());
        FOld = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", FConfig.path().toLocal8Bit());
    }
    void TearDown() override { qputenv("XDG_CONFIG_HOME", FOld); }

    QTemporaryDir FConfig;
    QByteArray FOld;
};

} // namespace

TEST_F(SettingsTest, MissingValuesReadEmpty)
{
    TSettings settings;
    EXPECT_TRUE(settings.Readable());
    EXPECT_EQ(settings.ReadString(QStringLiteral("usr_id")), QString());
}

TEST_F(SettingsTest, ValuesAreStoredAsTextInTheProgramsGroup)
{
    const QString awkward = QStringLiteral("C:\\a,b;c \"d\" ü/");
    {
        TSettings settings;
        settings.WriteString(QStringLiteral("log_location"), awkward);
        settings.WriteString(QStringLiteral("log_pending"), QStringLiteral("true"));
        settings.WriteString(QStringLiteral("usr_id"), QStringLiteral(" "));
    }
    TSettings settings;
    EXPECT_EQ(settings.ReadString(QStringLiteral("log_location")), awkward);
    EXPECT_EQ(settings.ReadString(QStringLiteral("log_pending")), QStringLiteral("true"));
    EXPECT_EQ(settings.ReadString(QStringLiteral("usr_id")), QStringLiteral(" "));

    EXPECT_EQ(TSettings::FileName(), FConfig.path() + QStringLiteral("/Quorbel/Quorbel.ini"));
    const QSettings file(TSettings::FileName(), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("Software/Quorbel/4.0/log_pending")).toString(), QStringLiteral("true"));
}

TEST_F(SettingsTest, StoreThatCannotBeWrittenRaises)
{
    // A folder in place of the file: neither root nor anyone else can use it.
    ASSERT_TRUE(QDir().mkpath(TSettings::FileName()));
    TSettings settings;
    EXPECT_FALSE(settings.Readable());
    EXPECT_EQ(settings.ReadString(QStringLiteral("usr_id")), QString());
    try {
        settings.WriteString(QStringLiteral("usr_id"), QStringLiteral("x"));
        ADD_FAILURE() << "no exception";
    } catch (const ERegistryException& e) {
        EXPECT_EQ(e.ClassName(), QStringLiteral("ERegistryException"));
        EXPECT_TRUE(e.Message().contains(QStringLiteral("usr_id")));
    }
}
