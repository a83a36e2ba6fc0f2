#include "support/TestSupport.h"

#include <QDialog>
#include <QLineEdit>

#include <gtest/gtest.h>

TEST(DialogService, ScriptedResponderRecordsAndAnswers)
{
    ScopedResponder responder;
    responder->Push(int(mrNo));
    EXPECT_EQ(MessageDlg(QStringLiteral("Copy?"), TMsgDlgType::mtConfirmation, mbYesNo), mrNo);
    // Without a script the first positive button answers.
    EXPECT_EQ(MessageDlg(QStringLiteral("Again?"), TMsgDlgType::mtConfirmation, mbYesNo), mrYes);
    ShowMessage(QStringLiteral("Done."));
    ASSERT_EQ(responder->Requests().size(), 3u);
    EXPECT_EQ(responder->Texts(), QStringList({"Copy?", "Again?", "Done."}));
    EXPECT_EQ(responder->Requests()[0].caption, QStringLiteral("Confirm"));
    EXPECT_EQ(responder->Requests()[2].buttons, mbOK);
}

TEST(DialogService, DialogHandlerFillsTheDialog)
{
    ScopedResponder responder;
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Name"));
    auto* edit = new QLineEdit(&dialog);
    responder->Push(TScriptedResponder::DialogHandler([](QDialog& d) {
        d.findChild<QLineEdit*>()->setText(QStringLiteral("A1B2"));
        return int(mrOk);
    }));
    EXPECT_EQ(ExecModal(dialog), mrOk);
    EXPECT_EQ(edit->text(), QStringLiteral("A1B2"));
    // An unscripted dialog is cancelled rather than shown.
    EXPECT_EQ(ExecModal(dialog), mrCancel);
    EXPECT_EQ(responder->Count(TScriptedResponder::Kind::Dialog), 2);
}
