#pragma once

#include <QDialog>
#include <QImage>

class QLabel;

// The window shown while the log is sent at closing time. It has no
// behaviour of its own; SendLog shows and hides it.
class TAboutBox1 : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox1(QWidget* parent = nullptr);
    ~TAboutBox1() override;

    // The most recently created window that still exists, or nullptr.
    static TAboutBox1* Current();

    QLabel* ProgramIcon;
    QLabel* ProductName;
    QLabel* Message;
};

// The product picture, decoded from the JPEG stored with the program; a null
// image if it cannot be decoded.
QImage ProductPicture();
