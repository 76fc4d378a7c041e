#include "support/testmain.h"

#include "analysis/dottocommafilter.h"

#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// Records the key events that reach the spin box past the comma filter.
class KeyRecorder : public QObject {
public:
    struct Key {
        QEvent::Type type;
        int key;
        QString text;
        Qt::KeyboardModifiers modifiers;
    };
    QList<Key> keys;

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            auto *k = static_cast<QKeyEvent *>(event);
            keys.append({ event->type(), k->key(), k->text(), k->modifiers() });
        }
        return false;
    }
};

// The radius dialog as the contour window builds it: a real QInputDialog for
// a double, its spin box filtered.
struct RadiusDialog {
    QInputDialog dialog;
    QDoubleSpinBox *spin = nullptr;
    KeyRecorder recorder;

    RadiusDialog()
    {
        dialog.setInputMode(QInputDialog::DoubleInput);
        dialog.setDoubleDecimals(3);
        dialog.setDoubleRange(0, 1000);
        dialog.setDoubleValue(1);
        dialog.show();
        spin = dialog.findChild<QDoubleSpinBox *>();
        // Installed first, so it sees what the comma filter lets through.
        spin->installEventFilter(&recorder);
        spin->installEventFilter(new DotToCommaFilter(spin));
        spin->setFocus();
        spin->selectAll();
    }
};

} // namespace

Q_DECLARE_METATYPE(Qt::KeyboardModifiers)

class TestDotToCommaFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void separatorKeysTypeAComma_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");

        const Qt::KeyboardModifiers none = Qt::NoModifier;
        const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
        QTest::newRow("period") << int(Qt::Key_Period) << "." << none;
        QTest::newRow("greater (shift+period)") << int(Qt::Key_Greater) << ">" << shift;
        QTest::newRow("less (shift+comma)") << int(Qt::Key_Less) << "<" << shift;
        QTest::newRow("slash") << int(Qt::Key_Slash) << "/" << none;
        QTest::newRow("question (shift+slash)") << int(Qt::Key_Question) << "?" << shift;
        QTest::newRow("ю") << 0x42e << QStringLiteral("ю") << none;
        QTest::newRow("Ю") << 0x42e << QStringLiteral("Ю") << shift;
        QTest::newRow("б") << 0x411 << QStringLiteral("б") << none;
        QTest::newRow("Б") << 0x411 << QStringLiteral("Б") << shift;
    }
    void separatorKeysTypeAComma()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        RadiusDialog d;
        QVERIFY(QTest::qWaitForWindowExposed(&d.dialog));

        QTest::keyClick(d.spin, Qt::Key_1);
        QTest::sendKeyEvent(QTest::Press, d.spin, Qt::Key(key), text, modifiers);
        QTest::sendKeyEvent(QTest::Release, d.spin, Qt::Key(key), text, modifiers);
        QTest::keyClick(d.spin, Qt::Key_5);
        QCOMPARE(d.spin->findChild<QLineEdit *>()->text(), QStringLiteral("1,5"));
        QCOMPARE(d.spin->value(), 1.5);

        // The comma press carries the incoming modifiers; the original press
        // never reaches the spin box; its release passes unchanged.
        QList<KeyRecorder::Key> separators;
        for (const auto &k : d.recorder.keys)
            if (k.key != Qt::Key_1 && k.key != Qt::Key_5 && k.key != Qt::Key_Shift)
                separators.append(k);
        QCOMPARE(separators.size(), 2);
        QCOMPARE(separators[0].type, QEvent::KeyPress);
        QCOMPARE(separators[0].key, int(Qt::Key_Comma));
        QCOMPARE(separators[0].text, QStringLiteral(","));
        QCOMPARE(separators[0].modifiers, modifiers);
        QCOMPARE(separators[1].type, QEvent::KeyRelease);
        QCOMPARE(separators[1].key, key);
        QCOMPARE(separators[1].text, text);
    }

    // Keys without text (arrows, Home, End) and other characters pass.
    void otherKeysPass()
    {
        RadiusDialog d;
        QVERIFY(QTest::qWaitForWindowExposed(&d.dialog));
        QTest::keyClicks(d.spin, "2,25");
        QCOMPARE(d.spin->value(), 2.25);
        QTest::keyClick(d.spin, Qt::Key_Home);
        QCOMPARE(d.spin->findChild<QLineEdit *>()->cursorPosition(), 0);
        QTest::keyClick(d.spin, Qt::Key_End);
        QCOMPARE(d.spin->findChild<QLineEdit *>()->cursorPosition(), 4);
        QTest::keyClick(d.spin, Qt::Key_Left);
        QCOMPARE(d.spin->findChild<QLineEdit *>()->cursorPosition(), 3);
        QTest::keyClick(d.spin, Qt::Key_Up);
        QCOMPARE(d.spin->value(), 3.25);
        QTest::keyClick(d.spin, Qt::Key_Down);
        QTest::keyClick(d.spin, Qt::Key_Down);
        QCOMPARE(d.spin->value(), 1.25);
        for (const auto &k : d.recorder.keys)
            QVERIFY(k.key != Qt::Key_Comma || k.text == ",");
    }
};

VANTOR_TEST_MAIN(TestDotToCommaFilter)
#include "tst_dottocommafilter.moc"
