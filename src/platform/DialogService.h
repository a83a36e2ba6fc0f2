#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <variant>
#include <vector>

class QDialog;
class QPrinter;
class QWidget;

// Results of modal windows and message boxes.
enum TModalResult : int {
    mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
    mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10, mrClose = 11
};

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

// Buttons of a message box, combined with |.
enum TMsgDlgBtn : int {
    mbYes = 1 << 0, mbNo = 1 << 1, mbOK = 1 << 2, mbCancel = 1 << 3, mbAbort = 1 << 4,
    mbRetry = 1 << 5, mbIgnore = 1 << 6, mbAll = 1 << 7, mbNoToAll = 1 << 8,
    mbYesToAll = 1 << 9, mbHelp = 1 << 10, mbClose = 1 << 11
};
using TMsgDlgButtons = int;
constexpr TMsgDlgButtons mbOKCancel = mbOK | mbCancel;
constexpr TMsgDlgButtons mbYesNo = mbYes | mbNo;
constexpr TMsgDlgButtons mbYesNoCancel = mbYes | mbNo | mbCancel;
constexpr TMsgDlgButtons mbAbortIgnore = mbAbort | mbIgnore;
// Marks the button that has the focus when the box opens (the first of the
// set when none is marked): mbYesNo | mbDefault(mbNo).
constexpr TMsgDlgButtons mbDefault(TMsgDlgBtn Button) { return int(Button) << 16; }
// The marked default button, 0 for none.
constexpr TMsgDlgBtn DefaultButtonOf(TMsgDlgButtons Buttons) { return TMsgDlgBtn(Buttons >> 16); }

// Answers every message box, modal dialog and common dialog of the program.
// The interactive responder shows real windows; tests install a scripted one.
class TDialogResponder {
public:
    virtual ~TDialogResponder() = default;
    virtual int MessageDlg(const QString& text, const QString& caption, TMsgDlgType type,
                           TMsgDlgButtons buttons, int helpContext) = 0;
    // Runs a dialog modally and returns its modal result.
    virtual int ExecDialog(QDialog& dialog) = 0;
    // Empty text: cancelled.
    virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    // Lets the user set up the printer; False: cancelled.
    virtual bool PrintDialog(QPrinter& printer, QWidget* parent) = 0;
};

// Real windows.
class TInteractiveResponder : public TDialogResponder {
public:
    int MessageDlg(const QString& text, const QString& caption, TMsgDlgType type,
                   TMsgDlgButtons buttons, int helpContext) override;
    int ExecDialog(QDialog& dialog) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    bool PrintDialog(QPrinter& printer, QWidget* parent) override;
};

// Records every request and answers from a script, never showing a window.
// An answer is a modal result, a function that handles the dialog (fills in
// its fields) and returns the modal result, a file name, or a print verdict.
// Without a scripted answer: message boxes get their marked default button,
// else the first of OK, Yes, Abort, Retry, Ignore, No, Cancel in their set; dialogs mrCancel; file dialogs an
// empty name; print dialogs False.
class TScriptedResponder : public TDialogResponder {
public:
    enum class Kind { Message, Dialog, OpenFile, SaveFile, Print };
    struct Request {
        Kind kind;
        QString text;      // message text, dialog window title, file dialog caption or printer document
        QString caption;
        TMsgDlgType type = TMsgDlgType::mtCustom;
        TMsgDlgButtons buttons = 0;
        int helpContext = 0;
    };
    using DialogHandler = std::function<int(QDialog&)>;
    using Answer = std::variant<int, DialogHandler, QString, bool>;

    void Push(Answer answer) { FAnswers.push_back(std::move(answer)); }
    // Runs, with the request, while each message box is "open": where a real
    // box would run the event loop, so that what arrives meanwhile arrives.
    void WhileMessageOpen(std::function<void(const Request&)> Handler) { FWhileMessageOpen = std::move(Handler); }
    const std::vector<Request>& Requests() const { return FRequests; }
    QStringList Texts() const;
    int Count(Kind kind) const;
    void Clear() { FRequests.clear(); FAnswers.clear(); }
    bool Exhausted() const { return FAnswers.empty(); }

    int MessageDlg(const QString& text, const QString& caption, TMsgDlgType type,
                   TMsgDlgButtons buttons, int helpContext) override;
    int ExecDialog(QDialog& dialog) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    bool PrintDialog(QPrinter& printer, QWidget* parent) override;

private:
    bool Take(Answer& out);
    std::vector<Request> FRequests;
    std::deque<Answer> FAnswers;
    std::function<void(const Request&)> FWhileMessageOpen;
};

// The service: one responder for the whole program.
namespace Dialogs {
TDialogResponder& Responder();
// Installs a responder (not owned); nullptr restores the interactive one.
void SetResponder(TDialogResponder* responder);
} // namespace Dialogs

// A message box with an OK button, captioned with the application's name.
void ShowMessage(const QString& text);
// A message box captioned by its type ("Warning", "Error", "Information",
// "Confirm"), returning the modal result of the button chosen.
int MessageDlg(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext = 0);
// A message box with an explicit caption.
int MessageBox(const QString& text, const QString& caption, TMsgDlgButtons buttons,
               TMsgDlgType type = TMsgDlgType::mtCustom);
// Runs a dialog modally through the responder.
int ExecModal(QDialog& dialog);
QString PromptOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter);
QString PromptSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                           const QString& filter);
bool PromptPrintDialog(QPrinter& printer, QWidget* parent);
