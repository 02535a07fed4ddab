// The controls of the display numbers window, laid out as the operator has always seen them: the
// explanation at the top, the three boxes with their labels on the left, the file buttons and OK
// and Cancel on the right. frmScreen makes one of these each time it is shown and drops it when it
// closes; the dialog itself decides nothing. Every way of leaving it other than its buttons
// (Escape, the window system's close) is reported as cancelRequested, so that they all act like
// Cancel, and the dialog never hides or destroys itself.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace display {

class ScreenDialog : public QDialog {
    Q_OBJECT
public:
    ScreenDialog();

    // In tab order.
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QLineEdit* txtLeft;
    QLineEdit* txtWidth;
    QLineEdit* txtTop;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QPushButton* cmdLoadFile;
    QPushButton* cmdSaveFile;

    void reject() override;

signals:
    void cancelRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace display
