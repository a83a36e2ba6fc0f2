#include "UsageLogFixture.h"

#include "platform/Random.h"
#include "support/TestSupport.h"
#include "usagelog/UserDialog.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

const QString Stamp = QStringLiteral(" 03/08/10 14:05:09.007,");

// Fills in the dialog as a user would and confirms it with OK.
TScriptedResponder::DialogHandler Answer(QRadioButton* TUsrDialog::*role, const QString& code)
{
    return [role, code](QDialog& d) {
        auto& dialog = dynamic_cast<TUsrDialog&>(d);
        (dialog.*role)->click();
        dialog.theName->setText(code);
        dialog.btnOK->click();
        return d.result();
    };
}

bool IsRandomCode(const QString& code)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]{4}[A-Y]{4}$"));
    return form.match(code).hasMatch();
}

class IdentifyUserTest : public UsageLogTest {
protected:
    void Store(const QString& code, const QString& role)
    {
        TSettings settings;
        settings.WriteString(QStringLiteral("usr_id"), code);
        settings.WriteString(QStringLiteral("usr_type"), role);
    }
    int Dialogs() { return FResponder->Count(TScriptedResponder::Kind::Dialog); }

    ScopedResponder FResponder;
};

} // namespace

TEST_F(IdentifyUserTest, StoredCodeIsUsedWithoutAsking)
{
    Store(QStringLiteral("4711XYZW"), QStringLiteral("assistant"));
    EXPECT_EQ(IdentifyUser(), QStringLiteral("4711XYZW"));
    EXPECT_EQ(GetUserCode(), QStringLiteral("4711XYZW"));
    EXPECT_EQ(Dialogs(), 0);
    EXPECT_THAT(GetLog(), ElementsAre(Stamp + QStringLiteral("usrtype assistant"),
                                      Stamp + QStringLiteral("usrid 4711XYZW")));
}

TEST_F(IdentifyUserTest, StoredCodeOfOneBlankIsAcceptedUnchanged)
{
    Store(QStringLiteral(" "), QStringLiteral("student"));
    EXPECT_EQ(IdentifyUser(), QStringLiteral(" "));
    EXPECT_EQ(Dialogs(), 0);
    EXPECT_EQ(GetLog().at(1), Stamp + QStringLiteral("usrid  "));
}

TEST_F(IdentifyUserTest, ClosedDialogGivesARandomCodeAndKeepsTheEmptyRole)
{
    // The letters are drawn from A to Y: with a draw this high, a range that
    // reached Z would give Z.
    int32_t seed = 0;
    for (;; ++seed) {
        RandSeed = seed;
        for (int i = 0; i < 4; ++i)
            Random(10);
        if (RandomFloat() >= 0.99)
            break;
    }
    RandSeed = seed;
    FResponder->Push(mrNone); // the window's close button
    const QString code = IdentifyUser();

    EXPECT_TRUE(IsRandomCode(code)) << code.toStdString();
    EXPECT_EQ(code.at(4), u'Y');
    EXPECT_EQ(Dialogs(), 1);
    EXPECT_EQ(Setting("usr_id"), code);
    EXPECT_EQ(Setting("usr_type"), QString());
    EXPECT_THAT(GetLog(), ElementsAre(Stamp + QStringLiteral("usrtype "), Stamp + QStringLiteral("usrid ") + code));

    // Eight draws of the shared generator, nothing else.
    const int32_t after = RandSeed;
    RandSeed = seed;
    for (int i = 0; i < 8; ++i)
        Random(2);
    EXPECT_EQ(RandSeed, after);
}

TEST_F(IdentifyUserTest, StudentIsAskedUntilAUsableCodeIsConfirmed)
{
    FResponder->Push(Answer(&TUsrDialog::student, QString()));
    FResponder->Push(Answer(&TUsrDialog::student, QStringLiteral("0")));
    FResponder->Push(Answer(&TUsrDialog::student, QStringLiteral("ANBE07")));
    EXPECT_EQ(IdentifyUser(), QStringLiteral("ANBE07"));
    EXPECT_EQ(Dialogs(), 3);
    EXPECT_EQ(Setting("usr_id"), QStringLiteral("ANBE07"));
    EXPECT_EQ(Setting("usr_type"), QStringLiteral("student"));
    EXPECT_THAT(GetLog(), ElementsAre(Stamp + QStringLiteral("usrtype student"),
                                      Stamp + QStringLiteral("usrid ANBE07")));
}

TEST_F(IdentifyUserTest, OtherRolesWithABlankCodeGetARandomCode)
{
    FResponder->Push(Answer(&TUsrDialog::others, QString()));
    const QString code = IdentifyUser();
    EXPECT_TRUE(IsRandomCode(code)) << code.toStdString();
    EXPECT_EQ(Dialogs(), 1);
    EXPECT_EQ(Setting("usr_id"), code);
    EXPECT_EQ(Setting("usr_type"), QStringLiteral("others"));

    CreateLog();
    Store(QString(), QString());
    FResponder->Push(Answer(&TUsrDialog::assistant, QStringLiteral("    ")));
    EXPECT_TRUE(IsRandomCode(IdentifyUser()));
    EXPECT_EQ(GetLog().at(0), Stamp + QStringLiteral("usrtype assistant"));

    // Three blanks are no blank code: they are kept.
    Store(QString(), QString());
    FResponder->Push(Answer(&TUsrDialog::assistant, QStringLiteral("   ")));
    EXPECT_EQ(IdentifyUser(), QStringLiteral("   "));
}

TEST_F(IdentifyUserTest, StoredZeroAsksAgainWithTheDialogsEarlierState)
{
    Store(QStringLiteral("0"), QStringLiteral("assistant"));
    TUsrDialog dialog; // the one made at start-up, reused
    dialog.theName->setText(QStringLiteral("typed before"));
    dialog.assistant->setChecked(true);
    bool keptState = false;
    FResponder->Push([&](QDialog& d) {
        auto& shown = dynamic_cast<TUsrDialog&>(d);
        keptState = &shown == &dialog && shown.assistant->isChecked()
            && shown.theName->text() == QStringLiteral("typed before") && !shown.theName->isEnabled();
        shown.student->click();
        shown.btnOK->click();
        return d.result();
    });
    EXPECT_EQ(IdentifyUser(), QStringLiteral("typed before"));
    EXPECT_TRUE(keptState);
    EXPECT_EQ(Setting("usr_type"), QStringLiteral("student"));
}

TEST_F(IdentifyUserTest, UnwritableSettingsRaiseAfterTheDialog)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    ScopedEnv home("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // A folder where the settings file should be: it can be neither read nor written.
    ASSERT_TRUE(QDir().mkpath(TSettings::FileName()));
    FResponder->Push(Answer(&TUsrDialog::student, QStringLiteral("ANBE07")));
    EXPECT_THROW(IdentifyUser(), ERegistryException);
    EXPECT_EQ(Dialogs(), 1);
    EXPECT_TRUE(GetLog().isEmpty());
}

// --- the dialog ------------------------------------------------------------

TEST(UsrDialogTest, ComponentsAndTexts)
{
    TUsrDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Identification"));
    EXPECT_EQ(dialog.student->text(), QStringLiteral("Student"));
    EXPECT_EQ(dialog.assistant->text(), QStringLiteral("Teaching Assistant / Assistant"));
    EXPECT_EQ(dialog.others->text(), QStringLiteral("others"));
    EXPECT_EQ(dialog.BitBtn1->text(), QStringLiteral("&Help"));
    EXPECT_TRUE(dialog.student->isChecked());
    EXPECT_TRUE(dialog.theName->isEnabled());
    const QStringList lines = dialog.Label1->text().split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("2 Buchstaben des Vornamens Ihrer Mutter +"));
    EXPECT_EQ(lines[1], QStringLiteral("2 Buchstaben des Vornamens Ihres Vaters +"));
    EXPECT_EQ(lines[2], QStringLiteral("Tag Ihres Geburtstags"));
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("theName")), dialog.theName);
}

TEST(UsrDialogTest, OnlyStudentsEnterACode)
{
    TUsrDialog dialog;
    dialog.theName->setText(QStringLiteral("kept"));
    dialog.assistant->click();
    EXPECT_FALSE(dialog.theName->isEnabled());
    dialog.student->setChecked(true); // from code, as a click
    EXPECT_TRUE(dialog.theName->isEnabled());
    dialog.others->click();
    EXPECT_FALSE(dialog.theName->isEnabled());
    EXPECT_EQ(dialog.theName->text(), QStringLiteral("kept"));
}

TEST(UsrDialogTest, ExecuteTakesCodeAndRoleAlsoWhenCancelled)
{
    ScopedResponder responder;
    TUsrDialog dialog;
    dialog.theName->setText(QStringLiteral("ab"));
    dialog.others->click();
    responder->Push(mrCancel);
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.Code, QStringLiteral("ab"));
    EXPECT_EQ(dialog.Role, QStringLiteral("others"));
    responder->Push([](QDialog& d) {
        dynamic_cast<TUsrDialog&>(d).btnOK->click();
        return d.result();
    });
    EXPECT_TRUE(dialog.Execute());
    EXPECT_EQ(responder->Requests().at(0).text, QStringLiteral("Identification"));
}

TEST(UsrDialogTest, HelpShowsTheConfidentialityNotice)
{
    ScopedResponder responder;
    TUsrDialog dialog;
    dialog.BitBtn1->click();
    ASSERT_EQ(responder->Requests().size(), 1u);
    const auto& shown = responder->Requests()[0];
    EXPECT_EQ(shown.kind, TScriptedResponder::Kind::Message);
    EXPECT_EQ(shown.buttons, mbOK);
    EXPECT_EQ(shown.text,
              QStringLiteral("Ihre Angaben werden vertraulich behandelt, und haben keinen Einfluss, auf Testate\r\n"
                             "oder Noten. Die Daten dienen nur der Evaluation der Software.\r\n"
                             "Wir danken vielmals für Ihre Mithilfe"));
}
