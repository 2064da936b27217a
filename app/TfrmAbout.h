// SPDX-License-Identifier: GPL-2.0-or-later
// The about box: product picture, product line, notice, web address and Close. Created
// hidden at start-up and shown modally by "About ...".
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace lumora {

class TMLang;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    static const QString kWebAddress;

    explicit TfrmAbout(QWidget* parent = nullptr);

    TMLang* Lang() const { return MLang; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ConfigureLang();
    void SetLinkHot(bool hot);
    void btnCloseClick();
    void lbl4Click();

    QLabel* pnl1 = nullptr;
    QLabel* lbl1 = nullptr;
    QLabel* lbl2 = nullptr;
    QLabel* lbl3 = nullptr;
    QLabel* lbl4 = nullptr;
    QPushButton* btnClose = nullptr;
    TMLang* MLang = nullptr;
};

} // namespace lumora
