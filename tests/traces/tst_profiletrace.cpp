#include "algos/gaussfilter.h"
#include "algos/profileutils.h"
#include "settings/settings.h"
#include "support/testmain.h"
#include "traces/processors.h"
#include "traces/profiletrace.h"

#include <QtTest>
#include <cmath>
#include <memory>

namespace {

// 2000 points 1 µm apart: a wave of 200 µm and a few spikes for the median.
void fill(ProfileTrace &trace, int count = 2000)
{
    for (int i = 0; i < count; ++i) {
        QVector<double> p { double(i), std::sin(i / 30.0) + ((i % 97) == 0 ? 5.0 : 0.0) };
        trace.addPoint(p);
    }
}

} // namespace

class TestProfileTrace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void newTraceTakesSettings();
    void primaryIsRawData();
    void roughnessAndWavinessBands();
    void medianReachesProfilesOnlyWhenEnabled();
    void cacheHoldsUntilCleared();
    void emptyTraceProfiles();
    void additionalTraces();
    void cloneCopiesOneLevel();
    void removedCloneBelongsToCaller();
};

void TestProfileTrace::init()
{
    Settings &s = Settings::instance();
    s.spinbox_filter_length_index = 2; // 800 µm
    s.preferenses.meadian_filter = false;
    s.preferenses.meadian_filter_value = 5;
}

void TestProfileTrace::newTraceTakesSettings()
{
    ProfileTrace trace;
    QCOMPARE(trace.traceType, int(PROFILE));
    QCOMPARE(trace.channelCount(), 2);
    QCOMPARE(trace.cutOff, 800.0);
    QCOMPARE(trace.medianWindow, 5);
    QCOMPARE(trace.level, 0.0);
    QVERIFY(!trace.parentTrace);

    // A damaged filter index gives the default cut-off, never a read outside the table.
    Settings::instance().spinbox_filter_length_index = 9;
    QCOMPARE(ProfileTrace().cutOff, 2500.0);
    Settings::instance().spinbox_filter_length_index = -3;
    QCOMPARE(ProfileTrace().cutOff, 2500.0);
}

void TestProfileTrace::primaryIsRawData()
{
    ProfileTrace trace;
    fill(trace);
    trace.addPostProcessor(std::make_shared<FilterRoughnessProfileProcessor>(800));
    trace.addPostProcessor(std::make_shared<YZeronator>());
    trace.recalculate();
    QVERIFY(*trace.processedData != *trace.rawData);
    QCOMPARE(trace.profile(800, PRIMARY_PROFILE), *trace.rawData);
    QVERIFY(trace.roughnessCache.isEmpty());
}

void TestProfileTrace::roughnessAndWavinessBands()
{
    ProfileTrace trace;
    fill(trace);
    trace.addPostProcessor(std::make_shared<YZeronator>()); // never reaches the profiles
    trace.recalculate();
    const TData raw = *trace.rawData;
    QCOMPARE(trace.profile(800, ROUGHNESS_PROFILE), Algos::gaussFilter(raw, 800, 2.6666666666666665));
    QCOMPARE(trace.profile(800, WAVINESS_PROFILE),
        Algos::gaussFilter(raw, 800, (1600 - 2.6666666666666665) + 2.6666666666666665));
    QVERIFY(trace.profile(800, WAVINESS_PROFILE) != Algos::gaussFilter(raw, 800, 1600 - 2.6666666666666665));
    QCOMPARE(trace.roughnessCache.keys(), QList<double> { 800 });
    QCOMPARE(trace.wavinessCache.keys(), QList<double> { 800 });
}

void TestProfileTrace::medianReachesProfilesOnlyWhenEnabled()
{
    ProfileTrace trace;
    fill(trace);
    trace.medianEnabled = false;
    const TData plain = trace.profile(800, ROUGHNESS_PROFILE);
    trace.clearProfileCache();
    trace.medianEnabled = true;
    trace.medianWindow = 5;
    TData medianed = *trace.rawData;
    Algos::medianFilter(5, medianed);
    const TData expected = Algos::gaussFilter(medianed, 800, 2.6666666666666665);
    QCOMPARE(trace.profile(800, ROUGHNESS_PROFILE), expected);
    QVERIFY(expected != plain);
    QCOMPARE(trace.rawData->at(1)[97], 5 + std::sin(97 / 30.0)); // the raw data keeps its spikes
}

void TestProfileTrace::cacheHoldsUntilCleared()
{
    ProfileTrace trace;
    fill(trace);
    const TData rough = trace.profile(800, ROUGHNESS_PROFILE);
    const TData wave = trace.profile(800, WAVINESS_PROFILE);

    // A crop changes the raw data but not the cached profiles.
    QVERIFY(trace.crop(0, 1000));
    QCOMPARE(trace.profile(800, ROUGHNESS_PROFILE), rough);
    QCOMPARE(trace.profile(800, WAVINESS_PROFILE), wave);

    // A new cut-off key is computed afresh, filtered with that cut-off, and
    // the old entry stays.
    const TData rough250 = trace.profile(250, ROUGHNESS_PROFILE);
    QCOMPARE(rough250, Algos::gaussFilter(*trace.rawData, 250, 2.5));
    QCOMPARE(trace.roughnessCache.size(), 2);

    trace.clearProfileCache();
    QVERIFY(trace.roughnessCache.isEmpty() && trace.wavinessCache.isEmpty());
    const TData fresh = trace.profile(800, ROUGHNESS_PROFILE);
    QCOMPARE(fresh, Algos::gaussFilter(*trace.rawData, 800, 2.6666666666666665));
    QVERIFY(fresh != rough);
}

void TestProfileTrace::emptyTraceProfiles()
{
    ProfileTrace trace;
    QCOMPARE(trace.profile(800, PRIMARY_PROFILE), (TData { {}, {} }));
    QVERIFY(trace.profile(800, ROUGHNESS_PROFILE).isEmpty());
    QVERIFY(trace.profile(800, WAVINESS_PROFILE).isEmpty());
}

void TestProfileTrace::additionalTraces()
{
    ProfileTrace main;
    main.setFilePath("/data/a.txt");
    ProfileTrace first, second, third;
    first.setFilePath("/elsewhere/b.txt");
    main.addAdditionalTrace(&first);
    main.addAdditionalTrace(&second);
    main.addAdditionalTrace(&third);
    QCOMPARE(first.parentTrace, &main);
    QCOMPARE(first.filePath(), QString("/data/a.txt"));

    main.removeAdditionalTrace(second.id);
    QCOMPARE(main.additionalTraces, (QVector<ProfileTrace *> { &first, &third }));
    QCOMPARE(second.filePath(), QString("/data/a.txt")); // detached, not changed
    main.removeAdditionalTrace(-42);
    QCOMPARE(main.additionalTraces.size(), 2);
}

void TestProfileTrace::cloneCopiesOneLevel()
{
    auto main = std::make_unique<ProfileTrace>();
    fill(*main, 100);
    main->speed = 0.5;
    main->level = 1.25;
    main->results.insert("Ra", ParamValue { { 0.123 }, false });
    main->histogram = TData { { 1, 2 }, { 3, 4 } };
    main->profile(800, ROUGHNESS_PROFILE);
    auto a = std::make_unique<ProfileTrace>();
    auto b = std::make_unique<ProfileTrace>();
    fill(*a, 50);
    main->addAdditionalTrace(a.get());
    main->addAdditionalTrace(b.get());

    std::unique_ptr<AbstractTrace> base(main->clone());
    auto *copy = dynamic_cast<ProfileTrace *>(base.get());
    QVERIFY(copy);
    QCOMPARE(copy->id, main->id);
    QVERIFY(!copy->parentTrace);
    QCOMPARE(copy->speed, 0.5);
    QCOMPARE(copy->level, 1.25);
    QCOMPARE(copy->results, main->results);
    QCOMPARE(copy->histogram, main->histogram);
    QCOMPARE(copy->roughnessCache, main->roughnessCache);
    QCOMPARE(copy->additionalTraces.size(), 2);
    for (int i = 0; i < 2; ++i) {
        ProfileTrace *child = copy->additionalTraces[i];
        QVERIFY(child != main->additionalTraces[i]);
        QCOMPARE(child->id, main->additionalTraces[i]->id);
        QCOMPARE(child->parentTrace, copy);
        QCOMPARE(*child->rawData, *main->additionalTraces[i]->rawData);
    }

    // The copy's children outlive the source and its children.
    const TData childRaw = *a->rawData;
    main.reset();
    a.reset();
    b.reset();
    QCOMPARE(*copy->additionalTraces[0]->rawData, childRaw);

    // An additional trace cloned by itself has neither parent nor children.
    ProfileTrace owner;
    ProfileTrace child;
    owner.addAdditionalTrace(&child);
    std::unique_ptr<AbstractTrace> lone(child.clone());
    auto *loneCopy = dynamic_cast<ProfileTrace *>(lone.get());
    QVERIFY(!loneCopy->parentTrace);
    QVERIFY(loneCopy->additionalTraces.isEmpty());
}

void TestProfileTrace::removedCloneBelongsToCaller()
{
    ProfileTrace main;
    ProfileTrace child;
    main.addAdditionalTrace(&child);
    std::unique_ptr<AbstractTrace> base(main.clone());
    auto *copy = static_cast<ProfileTrace *>(base.get());
    ProfileTrace *childCopy = copy->additionalTraces.first();
    copy->removeAdditionalTrace(childCopy->id);
    QVERIFY(copy->additionalTraces.isEmpty());
    QCOMPARE(childCopy->parentTrace, copy); // left as it was
    // Detached, so the copy no longer deletes it; the caller does, once.
    std::unique_ptr<ProfileTrace> taken(childCopy);
    base.reset();
    QCOMPARE(taken->additionalTraces.size(), 0);
}

VANTOR_TEST_MAIN(TestProfileTrace)
#include "tst_profiletrace.moc"
