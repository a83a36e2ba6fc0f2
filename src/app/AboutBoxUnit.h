#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>

#include <functional>

class QPushButton;

// A label drawn as a link: blue, with a hand cursor, running OnClick when
// clicked.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(const QString& Caption, QWidget* Parent = nullptr);
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;
};

// Shows the product's picture, name and version, and links to the program's
// own pages.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* Parent = nullptr);

    void InstituteClick();
    void QivLinkClick();
    void QuorbelWwwLinkClick();

    QLabel* ProgramIcon;
    TLinkLabel* Institute;
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Details;
    TLinkLabel* QivLink;
    TLinkLabel* Label1;
    TLinkLabel* QuorbelWwwLink;
    QPushButton* OKButton;

    // The addresses the links open.
    static QString InstituteAddress();
    static QString HomeAddress();
    static QString ProductAddress();
};
