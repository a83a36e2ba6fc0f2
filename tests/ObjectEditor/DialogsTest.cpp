#include "ObjectEditor/CopyBox.h"
#include "ObjectEditor/GOECopyOptions.h"
#include "ObjectEditor/GOEPrintOptions.h"
#include "ObjectEditor/PrintBox.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// Records the help context of every help request that reaches the application.
class HelpRequests : public QObject {
public:
    HelpRequests() { qApp->installEventFilter(this); }
    ~HelpRequests() override { qApp->removeEventFilter(this); }
    QList<int> Contexts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WhatsThis)
            Contexts << watched->property("helpContext").toInt();
        return false;
    }
};

QList<bool> CheckMarks(const TGOECopyOptionsForm& form)
{
    QList<bool> marks;
    for (int i = 0; i < form.CheckListBox->count(); ++i)
        marks << (form.CheckListBox->item(i)->checkState() == Qt::Checked);
    return marks;
}

} // namespace

TEST(CopyBox, DesignedLook)
{
    TCopyBoxForm copy;
    EXPECT_EQ(copy.windowTitle(), QStringLiteral("Copy to Clipboard"));
    EXPECT_EQ(copy.property("helpContext").toInt(), 47);
    EXPECT_EQ(copy.size(), QSize(327, 96));
    EXPECT_EQ(copy.RadioGroupSource->title(), QStringLiteral("Choose Source:"));
    EXPECT_EQ(copy.RadioGroupSource->geometry(), QRect(8, 16, 312, 27));
    EXPECT_EQ(copy.ButtonOK->geometry(), QRect(86, 65, 75, 25));
    EXPECT_EQ(copy.ButtonHelp->geometry(), QRect(246, 65, 75, 25));
    EXPECT_TRUE(copy.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));

    TPrintBoxForm print;
    EXPECT_EQ(print.windowTitle(), QStringLiteral("Print"));
    EXPECT_EQ(print.property("helpContext").toInt(), 47);
}

TEST(CopyBox, GrowsPerSourceAndPreselectsTheFirst)
{
    TCopyBoxForm form;
    for (const char* caption : {"Scatterplot Matrix", "Permutation Matrix", "Data items Editor"})
        form.AddSource(QString::fromLatin1(caption));
    EXPECT_EQ(form.ItemIndex(), -1);
    form.show();
    EXPECT_EQ(form.height(), 96 + 51);
    EXPECT_EQ(form.ItemIndex(), 0);
    // The anchored controls follow the larger form.
    EXPECT_EQ(form.RadioGroupSource->height(), 27 + 51);
    EXPECT_EQ(form.ButtonCancel->pos(), QPoint(166, 65 + 51));
    // Showing again does not grow it a second time.
    form.hide();
    form.show();
    EXPECT_EQ(form.height(), 96 + 51);
}

TEST(CopyBox, WithoutSourcesKeepsItsSizeAndChoosesNothing)
{
    TCopyBoxForm form;
    form.show();
    EXPECT_EQ(form.height(), 96);
    EXPECT_EQ(form.ItemIndex(), -1);
}

TEST(CopyBox, ButtonsGiveTheirModalResults)
{
    ScopedResponder responder;
    TPrintBoxForm form;
    form.AddSource(QStringLiteral("A"));
    form.AddSource(QStringLiteral("B"));
    responder->Push(TScriptedResponder::DialogHandler([](QDialog& d) {
        auto& box = static_cast<TCopyBoxForm&>(d);
        box.SetItemIndex(1);
        box.ButtonOK->click();
        return d.result();
    }));
    EXPECT_EQ(ExecModal(form), mrOk);
    EXPECT_EQ(form.ItemIndex(), 1);
    EXPECT_EQ(responder->Texts(), QStringList({"Print"}));

    responder->Push(TScriptedResponder::DialogHandler([](QDialog& d) {
        static_cast<TCopyBoxForm&>(d).ButtonCancel->click();
        return d.result();
    }));
    EXPECT_EQ(ExecModal(form), mrCancel);
    // Closing the window is Cancel too.
    responder->Push(TScriptedResponder::DialogHandler([](QDialog& d) {
        d.reject();
        return d.result();
    }));
    EXPECT_EQ(ExecModal(form), mrCancel);
}

TEST(CopyBox, SetItemIndexOutsideClearsTheChoice)
{
    TCopyBoxForm form;
    form.AddSource(QStringLiteral("A"));
    form.SetItemIndex(0);
    form.SetItemIndex(-1);
    EXPECT_EQ(form.ItemIndex(), -1);
}

TEST(Dialogs, HelpButtonsRequestTheFormsContext)
{
    HelpRequests help;
    TCopyBoxForm copy;
    TPrintBoxForm print;
    TGOECopyOptionsForm copyOptions;
    TGOEPrintOptionsForm printOptions;
    copy.ButtonHelp->click();
    print.ButtonHelp->click();
    copyOptions.ButtonHelp->click();
    printOptions.ButtonHelp->click();
    EXPECT_EQ(help.Contexts, QList<int>({47, 47, 52, 54}));
    // Help leaves the dialogs open.
    EXPECT_EQ(copy.result(), 0);
}

TEST(GOECopyOptions, DesignedLook)
{
    TGOECopyOptionsForm copy;
    EXPECT_EQ(copy.windowTitle(), QStringLiteral("Copy Options"));
    EXPECT_EQ(copy.property("helpContext").toInt(), 52);
    EXPECT_EQ(copy.size(), QSize(316, 128));
    EXPECT_EQ(copy.StaticText1->text(), QStringLiteral("Select parts to include:"));
    EXPECT_EQ(copy.CheckListBox->geometry(), QRect(8, 32, 298, 49));
    ASSERT_EQ(copy.CheckListBox->count(), 3);
    EXPECT_EQ(copy.CheckListBox->item(0)->text(), QStringLiteral("Background"));
    EXPECT_EQ(copy.CheckListBox->item(1)->text(), QStringLiteral("Objects"));
    EXPECT_EQ(copy.CheckListBox->item(2)->text(), QStringLiteral("Selection"));
    EXPECT_EQ(copy.ButtonOK->pos(), QPoint(71, 92));
    EXPECT_EQ(copy.ButtonCancel->pos(), QPoint(151, 92));
    EXPECT_EQ(copy.ButtonHelp->pos(), QPoint(231, 92));

    TGOEPrintOptionsForm print;
    EXPECT_EQ(print.windowTitle(), QStringLiteral("Print Options"));
    EXPECT_EQ(print.property("helpContext").toInt(), 54);
    EXPECT_EQ(print.StaticText1->text(), QStringLiteral("Select parts to print:"));
}

TEST(GOECopyOptions, PartsMapOntoTheCheckList)
{
    TGOECopyOptionsForm form;
    EXPECT_EQ(form.PartToItem(goepBackground), 0);
    EXPECT_EQ(form.PartToItem(goepObjects), 1);
    EXPECT_EQ(form.PartToItem(goepSelection), 2);

    form.SetParts(AllGOEParts);
    EXPECT_EQ(CheckMarks(form), QList<bool>({true, true, true}));
    EXPECT_EQ(form.GetParts().toInt(), 7);

    form.SetParts(goepObjects);
    EXPECT_EQ(CheckMarks(form), QList<bool>({false, true, false}));
    EXPECT_EQ(form.GetParts(), TGOEParts(goepObjects));

    form.SetParts(goepBackground | goepSelection | goepHandles);
    EXPECT_EQ(CheckMarks(form), QList<bool>({true, false, true}));
    EXPECT_EQ(form.GetParts().toInt(), 6);
}

TEST(GOECopyOptions, TogglePartInvertsOneItem)
{
    TGOEPrintOptionsForm form;
    form.SetParts(goepObjects | goepSelection);
    form.TogglePart(goepSelection);
    form.TogglePart(goepBackground);
    EXPECT_EQ(form.GetParts(), goepObjects | goepBackground);
    // The handles have no item, so toggling them changes nothing.
    form.TogglePart(goepHandles);
    EXPECT_EQ(form.GetParts(), goepObjects | goepBackground);
}

TEST(GOECopyOptions, ButtonsGiveTheirModalResults)
{
    ScopedResponder responder;
    TGOECopyOptionsForm form;
    form.SetParts(AllGOEParts);
    responder->Push(TScriptedResponder::DialogHandler([](QDialog& d) {
        auto& options = static_cast<TGOECopyOptionsForm&>(d);
        options.CheckListBox->item(0)->setCheckState(Qt::Unchecked);
        options.ButtonOK->click();
        return d.result();
    }));
    EXPECT_EQ(ExecModal(form), mrOk);
    EXPECT_EQ(form.GetParts(), goepObjects | goepSelection);

    responder->Push(TScriptedResponder::DialogHandler([](QDialog& d) {
        static_cast<TGOECopyOptionsForm&>(d).ButtonCancel->click();
        return d.result();
    }));
    EXPECT_EQ(ExecModal(form), mrCancel);
}
