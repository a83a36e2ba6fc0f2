#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

// The program's manual: one HTML topic per help context, stored with the
// program and shown in one help window.
class THelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit THelpWindow(QWidget* Parent = nullptr);

    // The one help window, made on first use.
    static THelpWindow* Instance();

    // Shows the topic of the context; the contents for a context without one.
    void ShowTopic(int Context);
    // The context of the topic shown.
    int Topic() const { return FTopic; }

    QTextBrowser* Browser;

private:
    int FTopic = 0;
};

// Whether the manual has a topic for the context.
bool HasHelpTopic(int Context);
// Shows the topic in the help window and brings it to the front.
void ShowHelpTopic(int Context);
// The help context of a widget: its "helpContext" property, else its
// parent's; 0 when none of them carries one.
int HelpContextOf(const QWidget* Widget);
// Lets "What's this?" clicks and the dialogs' Help buttons open the topic of
// the widget they address. Installing it again changes nothing.
void InstallHelpFilter();
// A folder holding the manual's pages as files, for links that the desktop
// opens; written on first use.
QString HelpPagesFolder();
