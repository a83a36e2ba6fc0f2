#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(DialogService, InteractiveBoxListsButtonsInTheSetsOrder)
{
    struct Case {
        TMsgDlgButtons buttons;
        QStringList labels;
        int answer; // of the button clicked: the last one
    };
    const Case cases[] = {
        {mbAbortIgnore, {"Abort", "Ignore"}, mrIgnore},
        {mbYesNoCancel, {"Yes", "No", "Cancel"}, mrCancel},
        {mbOKCancel, {"OK", "Cancel"}, mrCancel},
    };
    for (const Case& c : cases) {
        QStringList shown;
        QTimer::singleShot(0, [&shown] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QList<QAbstractButton*> order = box->buttons();
            std::sort(order.begin(), order.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            for (QAbstractButton* b : order)
                shown << b->text().remove(QLatin1Char('&'));
            order.last()->click();
        });
        TInteractiveResponder interactive;
        EXPECT_EQ(interactive.MessageDlg(QStringLiteral("Error"), QStringLiteral("Quorbel"),
                                         TMsgDlgType::mtError, c.buttons, 0),
                  c.answer);
        EXPECT_EQ(shown, c.labels);
    }
}
