#include "platform/DialogService.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QHelpEvent>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>
#include <iterator>

namespace {

TInteractiveResponder& Interactive()
{
    static TInteractiveResponder responder;
    return responder;
}

TDialogResponder*& Current()
{
    static TDialogResponder* current = nullptr;
    return current;
}

QString TypeCaption(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return QStringLiteral("Warning");
    case TMsgDlgType::mtError: return QStringLiteral("Error");
    case TMsgDlgType::mtInformation: return QStringLiteral("Information");
    case TMsgDlgType::mtConfirmation: return QStringLiteral("Confirm");
    case TMsgDlgType::mtCustom: break;
    }
    return QApplication::applicationName();
}

struct ButtonMap {
    TMsgDlgBtn button;
    QMessageBox::StandardButton standard;
    TModalResult result;
};

constexpr ButtonMap kButtons[] = {
    {mbOK, QMessageBox::Ok, mrOk},          {mbYes, QMessageBox::Yes, mrYes},
    {mbAbort, QMessageBox::Abort, mrAbort}, {mbRetry, QMessageBox::Retry, mrRetry},
    {mbIgnore, QMessageBox::Ignore, mrIgnore}, {mbNo, QMessageBox::No, mrNo},
    {mbCancel, QMessageBox::Cancel, mrCancel}, {mbAll, QMessageBox::NoButton, mrAll},
    {mbNoToAll, QMessageBox::NoToAll, mrNoToAll}, {mbYesToAll, QMessageBox::YesToAll, mrYesToAll},
    {mbClose, QMessageBox::Close, mrClose},   {mbHelp, QMessageBox::Help, mrNone},
};

int DefaultResult(TMsgDlgButtons buttons)
{
    if (const TMsgDlgBtn marked = DefaultButtonOf(buttons))
        for (const auto& b : kButtons)
            if (b.button == marked)
                return b.result;
    for (const auto& b : kButtons)
        if (buttons & b.button)
            return b.result;
    return mrOk;
}

} // namespace

// --- interactive -----------------------------------------------------------

int TInteractiveResponder::MessageDlg(const QString& text, const QString& caption,
                                      TMsgDlgType type, TMsgDlgButtons buttons, int helpContext)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type) {
    case TMsgDlgType::mtWarning: icon = QMessageBox::Warning; break;
    case TMsgDlgType::mtError: icon = QMessageBox::Critical; break;
    case TMsgDlgType::mtInformation: icon = QMessageBox::Information; break;
    case TMsgDlgType::mtConfirmation: icon = QMessageBox::Question; break;
    case TMsgDlgType::mtCustom: break;
    }
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    // The buttons stand in the order of the set (Abort before Ignore, Yes
    // before No) on every platform: added by role, Qt would sort them by the
    // desktop's convention. Help keeps its own role and place. Qt has no
    // standard "All" button, so that one is added by text.
    std::vector<std::pair<QAbstractButton*, int>> results;
    QAbstractButton* escape = nullptr;
    std::vector<QAbstractButton*> rejects;
    for (int bit = mbYes; bit <= mbClose; bit <<= 1) {
        if (!(buttons & bit) || bit == mbHelp)
            continue;
        const auto b = *std::find_if(std::begin(kButtons), std::end(kButtons),
                                     [bit](const ButtonMap& m) { return m.button == bit; });
        QString label = QStringLiteral("&All");
        QMessageBox::ButtonRole role = QMessageBox::AcceptRole;
        if (b.standard != QMessageBox::NoButton) {
            QAbstractButton* standard = box.addButton(b.standard);
            label = standard->text();
            role = box.buttonRole(standard);
            box.removeButton(standard);
            delete standard;
        }
        QAbstractButton* button = box.addButton(label, QMessageBox::ActionRole);
        results.emplace_back(button, b.result);
        // Escape answers as Qt would have chosen: Cancel, else the only
        // rejecting button.
        if (b.button == mbCancel)
            escape = button;
        else if (role == QMessageBox::RejectRole || role == QMessageBox::NoRole)
            rejects.push_back(button);
    }
    if (buttons & mbHelp)
        box.addButton(QMessageBox::Help);
    if (results.empty())
        results.emplace_back(box.addButton(QMessageBox::Ok), mrOk);
    if (!escape && results.size() == 1)
        escape = results.front().first;
    if (!escape && rejects.size() == 1)
        escape = rejects.front();
    if (escape)
        box.setEscapeButton(escape);
    // Help shows the box's topic and leaves the question open, as the other
    // dialogs' Help buttons do: the application's help filter answers the
    // request.
    if (QAbstractButton* help = box.button(QMessageBox::Help); help && helpContext > 0) {
        box.setProperty("helpContext", helpContext);
        QObject::disconnect(help, &QAbstractButton::clicked, nullptr, nullptr);
        QObject::connect(help, &QAbstractButton::clicked, &box, [&box] {
            QHelpEvent request(QEvent::WhatsThis, QPoint(), box.mapToGlobal(QPoint()));
            QCoreApplication::sendEvent(&box, &request);
        });
    }
    // The marked button, else the first of the set, has the focus.
    const TMsgDlgBtn marked = DefaultButtonOf(buttons);
    int focused = results.front().second;
    for (const auto& b : kButtons)
        if (b.button == marked && (buttons & marked))
            focused = b.result;
    for (const auto& [button, result] : results)
        if (result == focused)
            if (auto* push = qobject_cast<QPushButton*>(button))
                box.setDefaultButton(push);
    box.exec();
    for (const auto& [button, result] : results)
        if (box.clickedButton() == button)
            return result;
    return mrCancel;
}

int TInteractiveResponder::ExecDialog(QDialog& dialog)
{
    return dialog.exec();
}

QString TInteractiveResponder::OpenFileName(QWidget* parent, const QString& caption,
                                            const QString& dir, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString TInteractiveResponder::SaveFileName(QWidget* parent, const QString& caption,
                                            const QString& dir, const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

bool TInteractiveResponder::PrintDialog(QPrinter& printer, QWidget* parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

// --- scripted --------------------------------------------------------------

bool TScriptedResponder::Take(Answer& out)
{
    if (FAnswers.empty())
        return false;
    out = std::move(FAnswers.front());
    FAnswers.pop_front();
    return true;
}

QStringList TScriptedResponder::Texts() const
{
    QStringList texts;
    for (const auto& r : FRequests)
        texts << r.text;
    return texts;
}

int TScriptedResponder::Count(Kind kind) const
{
    int n = 0;
    for (const auto& r : FRequests)
        n += r.kind == kind;
    return n;
}

int TScriptedResponder::MessageDlg(const QString& text, const QString& caption, TMsgDlgType type,
                                   TMsgDlgButtons buttons, int helpContext)
{
    FRequests.push_back({Kind::Message, text, caption, type, buttons, helpContext});
    if (FWhileMessageOpen) {
        // Copies: the handler may ask for a box itself, which moves the
        // requests and may set another handler.
        const auto handler = FWhileMessageOpen;
        const Request request = FRequests.back();
        handler(request);
    }
    Answer a;
    if (Take(a) && std::holds_alternative<int>(a))
        return std::get<int>(a);
    return DefaultResult(buttons);
}

int TScriptedResponder::ExecDialog(QDialog& dialog)
{
    FRequests.push_back({Kind::Dialog, dialog.windowTitle(), dialog.windowTitle(),
                         TMsgDlgType::mtCustom, 0, 0});
    Answer a;
    if (!Take(a))
        return mrCancel;
    int result = mrCancel;
    if (std::holds_alternative<int>(a))
        result = std::get<int>(a);
    else if (std::holds_alternative<DialogHandler>(a))
        result = std::get<DialogHandler>(a)(dialog);
    dialog.setResult(result);
    return result;
}

QString TScriptedResponder::OpenFileName(QWidget*, const QString& caption, const QString&,
                                         const QString&)
{
    FRequests.push_back({Kind::OpenFile, caption, caption, TMsgDlgType::mtCustom, 0, 0});
    Answer a;
    if (Take(a) && std::holds_alternative<QString>(a))
        return std::get<QString>(a);
    return QString();
}

QString TScriptedResponder::SaveFileName(QWidget*, const QString& caption, const QString&,
                                         const QString&)
{
    FRequests.push_back({Kind::SaveFile, caption, caption, TMsgDlgType::mtCustom, 0, 0});
    Answer a;
    if (Take(a) && std::holds_alternative<QString>(a))
        return std::get<QString>(a);
    return QString();
}

bool TScriptedResponder::PrintDialog(QPrinter& printer, QWidget*)
{
    FRequests.push_back({Kind::Print, printer.docName(), QString(), TMsgDlgType::mtCustom, 0, 0});
    Answer a;
    if (Take(a) && std::holds_alternative<bool>(a))
        return std::get<bool>(a);
    return false;
}

// --- service ---------------------------------------------------------------

TDialogResponder& Dialogs::Responder()
{
    return Current() ? *Current() : static_cast<TDialogResponder&>(Interactive());
}

void Dialogs::SetResponder(TDialogResponder* responder)
{
    Current() = responder;
}

void ShowMessage(const QString& text)
{
    Dialogs::Responder().MessageDlg(text, QApplication::applicationName(), TMsgDlgType::mtCustom,
                                    mbOK, 0);
}

int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext)
{
    return Dialogs::Responder().MessageDlg(text, TypeCaption(type), type, buttons, helpContext);
}

int MessageBox(const QString& text, const QString& caption, TMsgDlgButtons buttons,
               TMsgDlgType type)
{
    return Dialogs::Responder().MessageDlg(text, caption, type, buttons, 0);
}

int ExecModal(QDialog& dialog)
{
    return Dialogs::Responder().ExecDialog(dialog);
}

QString PromptOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter)
{
    return Dialogs::Responder().OpenFileName(parent, caption, dir, filter);
}

QString PromptSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter)
{
    return Dialogs::Responder().SaveFileName(parent, caption, dir, filter);
}

bool PromptPrintDialog(QPrinter& printer, QWidget* parent)
{
    return Dialogs::Responder().PrintDialog(printer, parent);
}
