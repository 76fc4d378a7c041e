// The post-processing chain of a trace for each state of the profile
// window's toolbar, at creation and on a rebuild.

#include "support/freshsettings.h"
#include "support/testmain.h"

#include "settings/settings.h"
#include "traces/nonlinearity.h"
#include "traces/processingchain.h"
#include "traces/processors.h"

namespace {

QString describe(const PostProcessorPtr &p)
{
    if (dynamic_cast<NonLinearityEliminationProcessor *>(p.get()))
        return QStringLiteral("non-linearity");
    if (auto *m = dynamic_cast<DataMedianFilterProcessor *>(p.get()))
        return QStringLiteral("median %1").arg(m->window);
    if (auto *a = dynamic_cast<ThreadAngleCompensationProcessor *>(p.get()))
        return QStringLiteral("angle %1").arg(a->angle);
    if (auto *r = dynamic_cast<FilterRoughnessProfileProcessor *>(p.get()))
        return QStringLiteral("roughness %1").arg(r->cutOff);
    if (auto *w = dynamic_cast<FilterWaveProfileProcessor *>(p.get()))
        return QStringLiteral("waviness %1").arg(w->cutOff);
    if (dynamic_cast<YZeronator *>(p.get()))
        return QStringLiteral("zero Y");
    return QStringLiteral("unknown ") + p->name;
}

QStringList describe(const QList<PostProcessorPtr> &chain)
{
    QStringList out;
    for (const PostProcessorPtr &p : chain)
        out << describe(p);
    return out;
}

// A toolbar state: median window, thread angle and non-linearity are on when
// given (median 0 and angle < 0 mean off).
ProcessingState state(int median, double angle, int mode, bool nonLinearity)
{
    ProcessingState s;
    s.medianFilter = median > 0;
    s.medianWindow = median > 0 ? median : 3;
    s.threadCompensation = angle >= 0;
    s.threadAngle = angle >= 0 ? angle : 0;
    s.profileMode = mode;
    s.nonLinearity = nonLinearity;
    return s;
}

} // namespace

Q_DECLARE_METATYPE(ProcessingState)
Q_DECLARE_METATYPE(ChainStage)

class TestProcessingChain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void chain_data()
    {
        QTest::addColumn<ProcessingState>("toolbar");
        QTest::addColumn<int>("kind");
        QTest::addColumn<ChainStage>("stage");
        QTest::addColumn<double>("cutOff");
        QTest::addColumn<QStringList>("expected");
        const ChainStage made = ChainStage::Creation;
        const ChainStage rebuilt = ChainStage::Rebuild;

        // Profiles: the filter of the mode and the zeroing of Y, whose order
        // a rebuild turns round.
        QTest::newRow("profile, roughness, median, made") << state(5, -1, 1, false) << int(PROFILE) << made << 2500.0
                                                          << QStringList { "median 5", "roughness 2500", "zero Y" };
        QTest::newRow("profile, roughness, median, rebuilt") << state(5, -1, 1,
            false) << int(PROFILE) << rebuilt << 800.0 << QStringList { "median 5", "zero Y", "roughness 800" };
        QTest::newRow("additional, waviness, made") << state(0, -1, 2, true) << int(ADDITIONAL_TRACE) << made << 250.0
                                                    << QStringList { "waviness 250", "zero Y" };
        QTest::newRow("additional, waviness, rebuilt") << state(0, -1, 2, true) << int(ADDITIONAL_TRACE) << rebuilt
                                                       << 80.0 << QStringList { "zero Y", "waviness 80" };
        QTest::newRow("primary profile still zeroed, made")
            << state(0, -1, 0, false) << int(PROFILE) << made << 800.0 << QStringList { "zero Y" };
        QTest::newRow("primary profile still zeroed, rebuilt")
            << state(0, -1, 0, false) << int(PROFILE) << rebuilt << 800.0 << QStringList { "zero Y" };
        QTest::newRow("unknown mode adds no filter")
            << state(0, -1, 3, false) << int(PROFILE) << made << 800.0 << QStringList { "zero Y" };
        QTest::newRow("profile with everything on")
            << state(7, 12.5, 1, true) << int(PROFILE) << made << 800.0
            << QStringList { "median 7", "angle 12.5", "roughness 800", "zero Y" };

        // Contours: the mode is not theirs; the correction of non-linearity
        // reaches CONTOURPROF on a rebuild only.
        QTest::newRow("contour, everything on, made") << state(3, 30, 1, true) << int(CONTOUR) << made << 800.0
                                                      << QStringList { "non-linearity", "median 3", "angle 30" };
        QTest::newRow("contour, everything on, rebuilt") << state(3, 30, 1, true) << int(CONTOUR) << rebuilt << 800.0
                                                         << QStringList { "non-linearity", "median 3", "angle 30" };
        QTest::newRow("contour profile, non-linearity, made")
            << state(0, -1, 0, true) << int(CONTOURPROF) << made << 800.0 << QStringList {};
        QTest::newRow("contour profile, non-linearity, rebuilt")
            << state(0, -1, 0, true) << int(CONTOURPROF) << rebuilt << 800.0 << QStringList { "non-linearity" };
        QTest::newRow("contour, thread compensation once")
            << state(0, 45, 0, false) << int(CONTOUR) << made << 800.0 << QStringList { "angle 45" };
        QTest::newRow("contour, nothing on")
            << state(0, -1, 2, false) << int(CONTOUR) << rebuilt << 800.0 << QStringList {};
    }
    void chain()
    {
        QFETCH(ProcessingState, toolbar);
        QFETCH(int, kind);
        QFETCH(ChainStage, stage);
        QFETCH(double, cutOff);
        QFETCH(QStringList, expected);
        QCOMPARE(describe(processingChain(toolbar, kind, cutOff, stage)), expected);
    }

    // The state the settings hold, and the chain of an additional trace read
    // from a file, which is the creation chain of that state.
    void stateOfTheSettings()
    {
        Settings &s = freshSettings();
        s.preferenses.meadian_filter = true;
        s.preferenses.meadian_filter_value = 9;
        s.preferenses.thread_angle_compensation = true;
        s.preferenses.thread_angle_compensation_value = 7.25;
        s.preferenses.profile_filter_mode = 2;
        s.preferenses.non_linearity = true;
        s.spinbox_filter_length_index = 3;
        const ProcessingState state = processingStateOf(s);
        QVERIFY(state.medianFilter && state.threadCompensation && state.nonLinearity);
        QCOMPARE(state.medianWindow, 9);
        QCOMPARE(state.threadAngle, 7.25);
        QCOMPARE(state.profileMode, 2);
        QCOMPARE(describe(additionalTracePostProcessors(s)),
            (QStringList { "median 9", "angle 7.25", "waviness 250", "zero Y" }));
    }
};

VANTOR_TEST_MAIN(TestProcessingChain)
#include "tst_processingchain.moc"
