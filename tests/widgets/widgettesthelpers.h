#pragma once

#include "settings/settings.h"

#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QtTest>

// Helpers of the tests that drive name lists, the console dialogs and the
// calibration panel with real mouse and key events.
namespace WidgetTest {

inline QStringList texts(const QListWidget &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << list.item(i)->text();
    return out;
}

inline QPoint centreOf(const QListWidget &list, int row)
{
    return list.visualItemRect(list.item(row)).center();
}

inline void click(QListWidget &list, int row, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mouseClick(list.viewport(), button, {}, centreOf(list, row));
}

// A double click as the platform delivers it: press, release, double click,
// release (the view opens its editor only on a double click that follows a
// press on the same item).
inline void doubleClick(QListWidget &list, int row)
{
    const QPoint at = centreOf(list, row);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list.viewport(), Qt::LeftButton, {}, at);
}

// The open editor of the list, once the event loop has shown it.
inline QLineEdit *openEditor(const QListWidget &list)
{
    QLineEdit *open = nullptr;
    const bool shown = QTest::qWaitFor([&] {
        for (QLineEdit *e : list.findChildren<QLineEdit *>())
            if (e->isVisible())
                open = e;
        return open != nullptr;
    });
    return shown ? open : nullptr;
}

// Whether every editor of the list has closed; the view commits the typed
// text and closes the editor on a later pass of the event loop, which this
// waits for (what the view has posted runs in any case).
inline bool editorClosed(const QListWidget &list)
{
    QCoreApplication::processEvents();
    return QTest::qWaitFor([&list] {
        for (QLineEdit *e : list.findChildren<QLineEdit *>())
            if (e->isVisible())
                return false;
        return true;
    });
}

// Types text key by key; characters without a key code of their own (the
// Cyrillic ones) arrive as key events that carry only their text.
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Replaces the editor's text by typing and confirms with Return; the view
// commits the text and closes the editor on the next pass of the event loop,
// which this waits for.
inline void typeAndConfirm(QLineEdit *editor, const QString &typed)
{
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    typeText(editor, typed);
    const QPointer<QLineEdit> open(editor);
    QTest::keyClick(editor, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&open] { return !open || !open->isVisible(); }));
}

// Saves what the widget shows under "$VANTOR_BINARY_DIR/screenshots/".
inline bool saveScreenshot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("VANTOR_BINARY_DIR", QStringLiteral(".")) + "/screenshots";
    QDir().mkpath(dir);
    return widget->grab().save(dir + '/' + name + ".png");
}

// A console record with its five probe values (defaults where not given).
inline ConsoleParams console(
    const QString &name, double down, double up = 20, double high = 22, double bias = 0, double ratio = 6.2)
{
    ConsoleParams c;
    c.name = name;
    c.tool_head_radius_down = down;
    c.tool_head_radius_up = up;
    c.double_sided_probe_high = high;
    c.needle_bias = bias;
    c.roughness_ratio = ratio;
    return c;
}

// Name and the five probe values, so whole records compare in one step.
inline QString describe(const ConsoleParams &c)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6")
        .arg(c.name)
        .arg(c.tool_head_radius_down)
        .arg(c.tool_head_radius_up)
        .arg(c.double_sided_probe_high)
        .arg(c.needle_bias)
        .arg(c.roughness_ratio);
}

inline QStringList describe(const QList<ConsoleParams> &consoles)
{
    QStringList out;
    for (const ConsoleParams &c : consoles)
        out << describe(c);
    return out;
}

} // namespace WidgetTest
