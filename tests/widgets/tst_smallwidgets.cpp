#include "support/scriptedprompts.h"
#include "support/testmain.h"
#include "screenshot.h"

#include "settings/settings.h"
#include "widgets/autounfocusspinbox.h"
#include "widgets/calibradialog.h"
#include "widgets/colorpickerwidget.h"
#include "widgets/loader.h"
#include "widgets/markedprogressbar.h"

#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

// Stands in for the control panel: the busy window follows any parent with
// this signal.
class ProgressSource : public QWidget {
    Q_OBJECT
Q_SIGNALS:
    void setStatusProgressBar(int status, QString statusName);
};

Q_DECLARE_METATYPE(QColor)

class TestSmallWidgets : public QObject {
    Q_OBJECT

private:
    Settings m_defaults = Settings::load(QString());

private Q_SLOTS:
    void init()
    {
        Settings::instance() = m_defaults;
        QFile::remove(Settings::kFileName);
    }

    void loaderFollowsAndClosesAtHundred()
    {
        ProgressSource panel;
        auto *loader = new Loader(&panel, QStringLiteral("Идёт калибровка"));
        auto *bar = loader->findChild<QProgressBar *>("progressBar");
        auto *status = loader->findChild<QLabel *>("statusLabel");
        QVERIFY(bar && status);
        QCOMPARE(loader->width(), 325);
        QVERIFY(loader->height() >= 100);
        QCOMPARE(loader->findChild<QLabel *>("titleLabel")->text(), QStringLiteral("Идёт калибровка"));
        loader->open();
        QVERIFY(QTest::qWaitForWindowExposed(loader));

        Q_EMIT panel.setStatusProgressBar(99, QStringLiteral("Опускание контурографа до центра диапазона датчика"));
        QCOMPARE(bar->value(), 99);
        QCOMPARE(status->text(), QStringLiteral("Опускание контурографа до центра диапазона датчика"));
        QVERIFY(loader->isVisible());
        QVERIFY(saveScreenshot(loader, "loader"));

        QSignalSpy finished(loader, &QDialog::finished);
        QElapsedTimer clock;
        clock.start();
        Q_EMIT panel.setStatusProgressBar(100, QStringLiteral("Калибровка завершена"));
        QVERIFY(clock.elapsed() >= Loader::kCloseDelayMs - 10);
        QCOMPARE(bar->value(), 100);
        QVERIFY(!loader->isVisible());
        QCOMPARE(finished.count(), 1);

        // Closed, it takes no later report: no pause, no change.
        clock.restart();
        Q_EMIT panel.setStatusProgressBar(30, QStringLiteral("Калибровка датчика"));
        Q_EMIT panel.setStatusProgressBar(100, QStringLiteral("Калибровка завершена"));
        QVERIFY(clock.elapsed() < 250);
        QCOMPARE(status->text(), QStringLiteral("Калибровка завершена"));
        QCOMPARE(bar->value(), 100);
    }

    void loaderCancel()
    {
        ProgressSource panel;
        auto *loader = new Loader(&panel, QStringLiteral("Идёт поиск минимума"));
        QSignalSpy canceled(loader, &Loader::loaderCanceled);
        loader->open();
        QVERIFY(QTest::qWaitForWindowExposed(loader));
        Q_EMIT panel.setStatusProgressBar(40, QStringLiteral("Поиск центра окружности"));

        QTest::mouseClick(loader->findChild<QPushButton *>("cancelButton"), Qt::LeftButton);
        QCOMPARE(canceled.count(), 1);
        QVERIFY(!loader->isVisible());

        QElapsedTimer clock;
        clock.start();
        Q_EMIT panel.setStatusProgressBar(100, QStringLiteral("Перемещение на центр"));
        QVERIFY(clock.elapsed() < 250);
        QCOMPARE(loader->findChild<QProgressBar *>("progressBar")->value(), 40);
        QCOMPARE(canceled.count(), 1);
    }

    void markedBarDrawsRedMiddleLine()
    {
        QWidget owner;
        auto *bar = new MarkedProgressBar(&owner);
        bar->setOrientation(Qt::Vertical);
        bar->setTextVisible(false);
        bar->setRange(0, 100);
        bar->setValue(30);
        bar->setGeometry(10, 10, 24, 101);
        owner.resize(44, 121);
        const QImage image = bar->grab().toImage();
        QCOMPARE(image.height(), 101);
        auto isRed = [](QColor c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; };
        int redOnMiddle = 0;
        for (int x = 0; x < image.width(); ++x)
            redOnMiddle += isRed(image.pixelColor(x, 50));
        QVERIFY2(redOnMiddle >= image.width() - 2, qPrintable(QString::number(redOnMiddle)));
        for (int y : { 20, 80 })
            QVERIFY(!isRed(image.pixelColor(image.width() / 2, y)));

        bar->setValue(50);
        bar->resize(24, 200);
        owner.resize(44, 220);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QVERIFY(saveScreenshot(&owner, "marked_progress_bar"));
    }

    // The first keystroke that changes the value takes the focus away, so
    // the next one no longer reaches the spin box.
    void spinBoxGivesUpFocusAfterChange()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *spin = new AutoUnfocusSpinBox(&window);
        auto *other = new QLineEdit(&window);
        layout->addWidget(spin);
        layout->addWidget(other);
        spin->setRange(1, 99);
        spin->setValue(3);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        spin->setFocus();
        QVERIFY(spin->hasFocus());
        spin->selectAll();

        QTest::keyClick(spin, Qt::Key_4);
        QCOMPARE(spin->value(), 4);
        QVERIFY(!spin->findChild<QLineEdit *>()->hasSelectedText());
        QCOMPARE(spin->findChild<QLineEdit *>()->cursorPosition(), spin->findChild<QLineEdit *>()->text().length());
        QTRY_VERIFY(!spin->hasFocus());
        QTest::keyClick(&window, Qt::Key_2);
        QCOMPARE(spin->value(), 4);

        // Stepping with the arrow keys counts as a change too.
        spin->setFocus();
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(spin->value(), 5);
        QTRY_VERIFY(!spin->hasFocus());
    }

    void calibRaDialog_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("Принять") << true;
        QTest::newRow("Отмена") << false;
    }
    void calibRaDialog()
    {
        QFETCH(bool, accept);
        CalibRaDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Калибровка"));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        auto *spin = dialog.findChild<QDoubleSpinBox *>();
        QVERIFY(spin);
        QCOMPARE(spin->text(), QStringLiteral("1,000 мкм"));
        QCOMPARE(spin->minimum(), 0.001);
        QCOMPARE(spin->maximum(), 99.999);
        if (accept)
            QVERIFY(saveScreenshot(&dialog, "calib_ra_dialog"));

        spin->setFocus();
        spin->selectAll();
        QTest::keyClicks(spin, "0,297");
        QCOMPARE(spin->value(), 0.297);
        QSignalSpy finished(&dialog, &QDialog::finished);
        QTest::mouseClick(dialog.findChild<QPushButton *>(accept ? "acceptButton" : "cancelButton"), Qt::LeftButton);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(dialog.result(), accept ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(Settings::instance().calibration_Ra_value, accept ? 0.297 : 1.0);
        QCOMPARE(QFile::exists(Settings::kFileName), accept);
        if (accept)
            QCOMPARE(Settings::load(Settings::kFileName).calibration_Ra_value, 0.297);
    }

    // Scripted answers: a new colour, the same colour again, a cancel.
    void colorPicker()
    {
        QWidget owner;
        auto *picker = new ColorPickerWidget(&owner);
        const QSize created = picker->size();
        QCOMPARE(picker->minimumSize(), created);
        QCOMPARE(picker->maximumSize(), created);
        picker->move(5, 5);
        owner.resize(created + QSize(10, 10));
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        const QImage unset = picker->grab().toImage();
        QCOMPARE(unset.pixelColor(created.width() / 2, created.height() / 2), QColor(Qt::red));
        QCOMPARE(unset.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(unset.pixelColor(created.width() - 1, created.height() - 1), QColor(Qt::black));
        QVERIFY(saveScreenshot(picker, "color_picker"));

        const QColor blue("#0048ba");
        ScriptedPrompts prompts;
        prompts.expect(ScriptedPrompts::Color, blue)
            .expect(ScriptedPrompts::Color, blue)
            .expect(ScriptedPrompts::Color, QColor());
        QSignalSpy changed(picker, &ColorPickerWidget::colorChanged);

        QTest::mouseClick(picker, Qt::RightButton);
        QTest::mouseClick(picker, Qt::MiddleButton);
        QCOMPARE(prompts.calls().size(), 0);

        QTest::mouseClick(picker, Qt::LeftButton);
        QCOMPARE(picker->color, blue);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.last().at(0).value<QColor>(), blue);
        QCOMPARE(prompts.calls().last().title, QStringLiteral("Выбор цвета"));
        QTRY_COMPARE(picker->grab().toImage().pixelColor(created.width() / 2, created.height() / 2), blue);

        QTest::mouseClick(picker, Qt::LeftButton);
        QCOMPARE(changed.count(), 2);

        QTest::mouseClick(picker, Qt::LeftButton);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(picker->color, blue);
        QVERIFY(prompts.allAnswered());
        QCOMPARE(prompts.unexpectedCount(), 0);
    }
};

VANTOR_TEST_MAIN(TestSmallWidgets)
#include "tst_smallwidgets.moc"
