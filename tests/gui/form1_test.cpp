// The main window: "Clear", accessible names, tab order, "Exit".
#include "form1_fixture.h"

#include <QApplication>
#include <QTest>

using namespace mergon;

namespace {
// Every box's text and every button's state, in creation order.
QStringList controls(const Form1 &form) {
    QStringList out;
    for (const QLineEdit *box : form.findChildren<QLineEdit *>())
        out << box->objectName() + '=' + box->text();
    for (const QPushButton *button : form.findChildren<QPushButton *>())
        out << button->objectName() + (button->isEnabled() ? " on" : " off");
    return out;
}
} // namespace

// After real work, "Clear" gives back a new window's boxes, buttons, picture and session, except
// for the settings typed in the boxes and what the session keeps by design.
TEST_F(Form1Fixture, ClearAfterWorkGivesBackANewWindowKeepingTypedSettings) {
    Form1 fresh;
    form->Text8[2]->setText("2.5");
    loadTwoLines();
    form->Text3->setText("50");
    form->Command1->click();
    ASSERT_EQ(status(), "Finish");
    for (Form1 *window : {form.get(), &fresh})
        for (QLineEdit *box : {window->Text4, window->Text6, window->Text5, window->Text7,
                               window->Text10, window->Text3})
            box->setText("7");
    Session kept = fresh.session();
    std::tie(kept.chosenFileName, kept.divisionCount, kept.xStep) =
        std::tuple(path("b.txt"), int16_t{50}, 0.04f);

    form->Command3->click();

    EXPECT_EQ(controls(*form), controls(fresh));
    EXPECT_TRUE(form->session() == kept);
    EXPECT_TRUE(form->Picture1->canvas().image() == fresh.Picture1->canvas().image());
}

TEST_F(Form1Fixture, EveryControlThatTakesInputHasAnAccessibleName) {
    for (auto *w : form->findChildren<QWidget *>())
        if (w->focusPolicy() != Qt::NoFocus && !w->objectName().isEmpty() &&
            !w->objectName().startsWith("qt_")) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
}

TEST_F(Form1Fixture, TabVisitsTheControlsInOrderAndSkipsFileRowsAndDisabledButtons) {
    form->show();
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // The focus from "Data File Open" until it comes back there.
    const auto tabOrder = [this] {
        QStringList seen;
        form->Command2->setFocus();
        do {
            seen << QApplication::focusWidget()->objectName();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        } while (QApplication::focusWidget() != form->Command2 && seen.size() < 30);
        return seen.join(' ');
    };
    EXPECT_EQ(tabOrder(), "Command2 Command4 Text4 Text6 Text5 Text7 Text10 Text3 Text2(0) "
                          "Text8(1) Text8(2) Text8(3) Text8(4) Text8(5) Text8(6) Text8(7) "
                          "Text8(8) Text8(9) Text8(10)");
    // Enabled buttons take their places in the order again.
    form->Command1->setEnabled(true);
    form->Command3->setEnabled(true);
    EXPECT_EQ(tabOrder(), "Command2 Command1 Command4 Text4 Text6 Text5 Text7 Text10 Text3 "
                          "Text2(0) Command3 Text8(1) Text8(2) Text8(3) Text8(4) Text8(5) "
                          "Text8(6) Text8(7) Text8(8) Text8(9) Text8(10)");
}

TEST_F(Form1Fixture, ExitEndsTheProgramAlsoWhenTheWindowIsClosed) {
    form->show();
    form->Command4->click();
    EXPECT_EQ(std::tuple(programEnds, endedDuringCommand, form->isVisible()),
              std::tuple(1, false, false));
    form->show();
    form->close();
    EXPECT_EQ(programEnds, 2);
}
