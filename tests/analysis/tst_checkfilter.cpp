#include "support/scriptedprompts.h"
#include "support/testmain.h"

#include "analysis/panelfiltercontrol.h"
#include "plot/plotwidget.h"
#include "plot/tracegraphsholder.h"
#include "settings/common.h"
#include "settings/settings.h"
#include "traces/paramsmap.h"
#include "traces/profiletrace.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <memory>

namespace {

// The profile window as the check sees it: the question is the window's own,
// answered through the scripted prompts; applying a filter index stores it in
// the settings, as the real panel does; a trace's new cut-off is noted and
// set, as the trace list does.
class FakePanel : public PanelFilterControl {
public:
    FakePanel()
        : PanelFilterControl(nullptr, nullptr)
    {
    }
    void setFilterIndex(int index) override
    {
        applied << index;
        Settings::instance().spinbox_filter_length_index = index;
    }
    void setTraceCutOff(ProfileTrace *trace, double cutOff) override
    {
        given << qMakePair(trace, cutOff);
        trace->cutOff = cutOff;
    }
    QList<int> applied;
    QList<QPair<ProfileTrace *, double>> given;
};

// A sine roughness of wavelength 40 µm, well inside every roughness band from
// 250 µm up, whose Ra is 2A/π: amplitude A = Ra·π/2. Points 0.5 µm apart.
std::unique_ptr<ProfileTrace> sineTrace(double length, double ra)
{
    auto trace = std::make_unique<ProfileTrace>();
    const double amplitude = ra * M_PI / 2;
    for (int i = 0; i * 0.5 <= length; ++i) {
        QVector<double> point { i * 0.5, amplitude * std::sin(2 * M_PI * i * 0.5 / 40) };
        trace->addPoint(point);
    }
    return trace;
}

struct Fixture {
    QWidget owner;
    PlotWidget main { &owner }, hist { &owner }, ratio { &owner };
    FakePanel panel;
    std::unique_ptr<ProfileTrace> trace;
    std::unique_ptr<TraceGraphsHolder> holder;

    Fixture(double length, double ra, int filterIndex)
        : trace(sineTrace(length, ra))
    {
        Settings::instance().spinbox_filter_length_index = filterIndex;
        // The profile window gives a new trace the panel's cut-off.
        trace->cutOff = Common::cutOffLength(filterIndex);
        holder = std::make_unique<TraceGraphsHolder>(&owner, trace.get(), &main, &hist, &ratio, &panel);
    }
};

enum Answer { NotAsked, Yes, No, YesRemembered, NoRemembered };

ScriptedPrompts::Handler answering(Answer answer)
{
    return [=](QObject *subject) {
        auto *box = qobject_cast<QMessageBox *>(subject);
        box->checkBox()->setChecked(answer == YesRemembered || answer == NoRemembered);
        const bool yes = answer == Yes || answer == YesRemembered;
        box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        return QVariant(int(yes ? QMessageBox::Yes : QMessageBox::No));
    };
}

// Shows the question as the program does, and acts on it a given time
// after it appeared, then once keys reach it again.
class RealBoxPrompts : public Prompts {
public:
    RealBoxPrompts() { m_previous = Prompts::install(this); }
    ~RealBoxPrompts() override { Prompts::install(m_previous); }

    int execMessageBox(QMessageBox *box) override
    {
        QTimer::singleShot(100, box, [this, box] {
            early(box);
            answeredEarly = box->clickedButton() != nullptr;
            keysTakenThen = box->property("takesKeys").toBool();
            auto *poll = new QTimer(box);
            QObject::connect(poll, &QTimer::timeout, box, [this, box, poll] {
                if (!box->property("takesKeys").toBool() || !box->isVisible())
                    return;
                poll->stop();
                later(box);
            });
            poll->start(10);
        });
        return Prompts::execMessageBox(box);
    }

    std::function<void(QMessageBox *)> early;
    std::function<void(QMessageBox *)> later;
    bool answeredEarly = false;
    bool keysTakenThen = true;

private:
    Prompts *m_previous = nullptr;
};

} // namespace

class TestCheckFilter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        Settings &s = Settings::instance();
        s.preferenses.standartisation_value = 0;
        s.preferenses.is_ask_before_change_filter = true;
        s.preferenses.is_accept_filter = true;
    }
    void check_data();
    void check();
    void question();
    void rememberedAnswerIsSavedAndUsed_data();
    void rememberedAnswerIsSavedAndUsed();
    void repeatedRunsAreCheckedOnTheirMean();
    void keysAtFirstDoNotAnswer_data();
    void keysAtFirstDoNotAnswer();
    void contourTraceIsNotChecked();
};

void TestCheckFilter::check_data()
{
    QTest::addColumn<double>("length");
    QTest::addColumn<double>("ra");
    QTest::addColumn<int>("filterIndex");
    QTest::addColumn<bool>("ask");
    QTest::addColumn<bool>("remembered");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("applied");
    QTest::addColumn<double>("cutOff");

    // Standard 0: Ra 0.5 and 1.0 recommend 800 µm, Ra 5 recommends 2500 µm.
    QTest::newRow("recommendation is the current cut-off")
        << 3000.0 << 0.5 << 2 << true << true << int(NotAsked) << QList<int> {} << 800.0;
    QTest::newRow("recommendation too long for the trace; nearest that fits is current")
        << 4000.0 << 5.0 << 2 << true << true << int(NotAsked) << QList<int> {} << 800.0;
    QTest::newRow("accepted: applied, then Ra again agrees")
        << 4000.0 << 1.0 << 3 << true << true << int(Yes) << QList<int> { 2 } << 800.0;
    QTest::newRow("declined") << 4000.0 << 1.0 << 3 << true << true << int(No) << QList<int> {} << 250.0;
    QTest::newRow("remembered yes: applied without asking")
        << 4000.0 << 1.0 << 3 << false << true << int(NotAsked) << QList<int> { 2 } << 800.0;
    QTest::newRow("remembered no: nothing asked or changed")
        << 4000.0 << 1.0 << 3 << false << false << int(NotAsked) << QList<int> {} << 250.0;
    QTest::newRow("trace shorter than two cut-offs: Ra reads 0")
        << 1200.0 << 1.0 << 2 << true << true << int(NotAsked) << QList<int> {} << 800.0;
    // A smooth but real surface is checked on its value, however small;
    // a flat one (Ra at the arithmetic's rounding noise) is not.
    QTest::newRow("Ra of 0.3 nm recommends the shortest cut-off")
        << 4000.0 << 0.0003 << 2 << true << true << int(Yes) << QList<int> { 4 } << 80.0;
    QTest::newRow("flat trace: nothing to choose a cut-off for")
        << 4000.0 << 1e-12 << 2 << true << true << int(NotAsked) << QList<int> {} << 800.0;
    QTest::newRow("settings index outside the table reads the default 2500")
        << 8000.0 << 1.0 << 9 << true << true << int(Yes) << QList<int> { 2 } << 800.0;
}

void TestCheckFilter::check()
{
    QFETCH(double, length);
    QFETCH(double, ra);
    QFETCH(int, filterIndex);
    QFETCH(bool, ask);
    QFETCH(bool, remembered);
    QFETCH(int, answer);
    QFETCH(QList<int>, applied);
    QFETCH(double, cutOff);

    Settings::instance().preferenses.is_ask_before_change_filter = ask;
    Settings::instance().preferenses.is_accept_filter = remembered;
    Fixture f(length, ra, filterIndex);
    ScriptedPrompts prompts;
    if (answer != NotAsked)
        prompts.expect(ScriptedPrompts::MessageBox, QVariant(), answering(Answer(answer)));

    f.holder->checkFilter();

    QVERIFY(prompts.allAnswered());
    QCOMPARE(f.panel.applied, applied);
    QCOMPARE(f.trace->cutOff, cutOff);
    // Every index applied went to the trace too, through the trace list.
    QCOMPARE(f.panel.given.size(), applied.size());
    for (int i = 0; i < applied.size(); ++i)
        QCOMPARE(f.panel.given.at(i), qMakePair(f.trace.get(), Common::kCutOffLengths.at(applied.at(i))));
    if (!applied.isEmpty())
        QCOMPARE(Settings::instance().spinbox_filter_length_index, applied.last());
}

void TestCheckFilter::question()
{
    Fixture f(4000, 1.0, 3);
    ScriptedPrompts prompts;
    prompts.expect(ScriptedPrompts::MessageBox, QVariant(), [&](QObject *subject) {
        auto *box = qobject_cast<QMessageBox *>(subject);
        [&] {
            QCOMPARE(box->parentWidget(), &f.owner);
            QCOMPARE(box->windowTitle(), QString::fromUtf8("Изменение фильтра"));
            QCOMPARE(box->text(),
                QString::fromUtf8("Согласно текущему стандарту выбранный фильтр не соответствует "
                                  "измерению. Сменить фильтр на 0.800 мм?"));
            QCOMPARE(box->button(QMessageBox::Yes)->text(), QString::fromUtf8("Да"));
            QCOMPARE(box->button(QMessageBox::No)->text(), QString::fromUtf8("Нет"));
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            QCOMPARE(box->checkBox()->text(), QString::fromUtf8("Запомнить выбор"));
            QVERIFY(!box->checkBox()->isChecked());
        }();
        return QVariant(int(QMessageBox::No)); // closed without a button: counts as No
    });
    f.holder->checkFilter();
    QVERIFY(prompts.allAnswered());
    QVERIFY(f.panel.applied.isEmpty());
    QVERIFY(Settings::instance().preferenses.is_ask_before_change_filter);
}

void TestCheckFilter::rememberedAnswerIsSavedAndUsed_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QList<int>>("laterApplied");
    QTest::newRow("no, remembered") << int(NoRemembered) << QList<int> {};
    QTest::newRow("yes, remembered") << int(YesRemembered) << QList<int> { 2 };
}

void TestCheckFilter::rememberedAnswerIsSavedAndUsed()
{
    QFETCH(int, answer);
    QFETCH(QList<int>, laterApplied);
    {
        Fixture f(4000, 1.0, 3);
        ScriptedPrompts prompts;
            prompts.expect(ScriptedPrompts::MessageBox, QVariant(), answering(Answer(answer)));
        f.holder->checkFilter();
        QVERIFY(prompts.allAnswered());
    }
    const Settings saved = Settings::load(Settings::kFileName);
    QCOMPARE(saved.preferenses.is_ask_before_change_filter, false);
    QCOMPARE(saved.preferenses.is_accept_filter, answer == YesRemembered);

    // A later check asks nothing and follows the remembered answer.
    Fixture later(4000, 1.0, 3);
    ScriptedPrompts prompts;
    later.holder->checkFilter();
    QCOMPARE(prompts.calls().size(), 0);
    QCOMPARE(later.panel.applied, laterApplied);
}

// With repeated runs Ra is the mean of the runs: here the main run alone
// (Ra 0.3) would keep 250 µm, the mean of the three (0.9) calls for 800 µm.
void TestCheckFilter::repeatedRunsAreCheckedOnTheirMean()
{
    Fixture f(4000, 0.3, 3);
    std::vector<std::unique_ptr<ProfileTrace>> runs;
    for (double ra : { 1.0, 1.4 }) {
        runs.push_back(sineTrace(4000, ra));
        runs.back()->setTraceType(ADDITIONAL_TRACE);
        runs.back()->cutOff = f.trace->cutOff;
        f.trace->addAdditionalTrace(runs.back().get());
    }
    ExtraArgs args;
    QVERIFY(calcParam(args, f.trace.get(), "Ra").contains(QString::fromUtf8("±")));

    ScriptedPrompts prompts;
    prompts.expect(ScriptedPrompts::MessageBox, QVariant(), answering(Yes));
    f.holder->checkFilter();
    QVERIFY(prompts.allAnswered());
    QVERIFY(prompts.calls().first().text.endsWith(QString::fromUtf8("0.800 мм?")));
    QCOMPARE(f.panel.applied, QList<int> { 2 });
    QCOMPARE(f.trace->cutOff, 800.0);
    f.trace->additionalTraces.clear();
}

void TestCheckFilter::contourTraceIsNotChecked()
{
    Fixture f(4000, 1.0, 3);
    f.trace->setTraceType(CONTOURPROF);
    ScriptedPrompts prompts;
    f.holder->checkFilter();
    QVERIFY(f.panel.applied.isEmpty());
    QVERIFY(f.trace->results.isEmpty()); // Ra was not even evaluated
}

void TestCheckFilter::keysAtFirstDoNotAnswer_data()
{
    QTest::addColumn<int>("early"); // 0 Space, 1 Return, 2 a click on "Нет"
    QTest::addColumn<bool>("answeredEarly");
    QTest::addColumn<QList<int>>("applied");
    // The stop key pressed just as the trace ends: ignored; Space once keys
    // are taken again answers "Да", the button that has the focus.
    QTest::newRow("Space 100 ms after the question appears") << 0 << false << QList<int> { 2 };
    QTest::newRow("Return 100 ms after the question appears") << 1 << false << QList<int> { 2 };
    QTest::newRow("the mouse answers at once") << 2 << true << QList<int> {};
}

void TestCheckFilter::keysAtFirstDoNotAnswer()
{
    QFETCH(int, early);
    QFETCH(bool, answeredEarly);
    QFETCH(QList<int>, applied);
    Fixture f(4000, 1.0, 3);
    RealBoxPrompts prompts;
    prompts.early = [early](QMessageBox *box) {
        if (early == 2)
            QTest::mouseClick(box->button(QMessageBox::No), Qt::LeftButton);
        else
            QTest::keyClick(box->button(QMessageBox::Yes), early == 0 ? Qt::Key_Space : Qt::Key_Return);
    };
    prompts.later = [](QMessageBox *box) { QTest::keyClick(box->button(QMessageBox::Yes), Qt::Key_Space); };
    f.holder->checkFilter();
    QCOMPARE(prompts.answeredEarly, answeredEarly);
    QVERIFY(!prompts.keysTakenThen);
    QCOMPARE(f.panel.applied, applied);
}

VANTOR_TEST_MAIN(TestCheckFilter)
#include "tst_checkfilter.moc"
